#pragma once

#include <string>
#include <string_view>

namespace grinsley::json::utf8 {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no truncated sequence.
bool isValid(std::string_view text);

// Appends the code point's UTF-8 bytes.
void append(std::string& out, char32_t codePoint);

// Orders two UTF-8 texts as their UTF-16 code units would be ordered.
bool lessByUtf16(std::string_view a, std::string_view b);

} // namespace grinsley::json::utf8
