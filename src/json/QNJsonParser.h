#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonValue.h"
#include "json/QNJsonBase.h"

namespace grinsley {

// Reads JSON text into values, leaving an error trace on failure. Reusable; one thread at a time.
class QNJsonParser : public QNJsonBase {
public:
    // An object or an array; nullopt (with the trace) on error, for absent input too.
    std::optional<json::Value> objectWithString(std::optional<std::string_view> text);
    // Any value.
    std::optional<json::Value> fragmentWithString(std::optional<std::string_view> text);

private:
    bool scanValue(json::Value& value);
    bool scanRestOfArray(json::Value& value);
    bool scanRestOfDictionary(json::Value& value);
    bool scanRestOfString(std::string& text);
    bool scanRestOfNull(json::Value& value);
    bool scanRestOfFalse(json::Value& value);
    bool scanRestOfTrue(json::Value& value);
    bool scanNumber(json::Value& value);
    bool scanUnicodeChar(std::string& text);
    bool scanHexQuad(unsigned& quad);
    bool scanIsAtEnd();

    bool scanWord(const char* rest, std::size_t length, const char* error);
    bool scanSeparator(unsigned char close, const char* trailingCommaMessage);
    void skipWhitespace();
    // The byte at the read position, or 0 at the end of the input.
    unsigned char peek() const { return c < _end ? *c : 0; }

    const unsigned char* c = nullptr; // the read position
    const unsigned char* _end = nullptr;
    // Elements and members of the containers being read, so each container is allocated once, at its size.
    std::vector<json::Value> _values;
    std::vector<json::Object::Member> _members;
};

} // namespace grinsley
