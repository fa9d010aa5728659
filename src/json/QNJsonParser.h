#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonValue.h"
#include "json/QNJsonBase.h"
#include "json/TreeBuilder.h"

namespace grinsley {

// Reads JSON text into values, leaving an error trace on failure. Reusable; one thread at a time.
class QNJsonParser : public QNJsonBase {
public:
    // An object or an array; nullopt (with the trace) on error, for absent input too.
    std::optional<json::Value> objectWithString(std::optional<std::string_view> text);
    // Any value.
    std::optional<json::Value> fragmentWithString(std::optional<std::string_view> text);

private:
    using Storage = json::TreeBuilder::Storage;

    bool scanValue(Storage& value);
    bool scanRestOfArray(Storage& value);
    bool scanRestOfDictionary(Storage& value);
    bool scanRestOfString(Storage& text);
    bool scanEscapedRest(const unsigned char* run, Storage& text);
    bool scanRun();
    bool scanRestOfNull(Storage& value);
    bool scanRestOfFalse(Storage& value);
    bool scanRestOfTrue(Storage& value);
    bool scanNumber(Storage& value);
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
    json::TreeBuilder* _builder = nullptr;
    // Elements (and keys and values) of the containers being read, so each container is made once, at its size.
    std::vector<Storage> _stack;
    // A string with escapes, as it is decoded.
    std::string _unescaped;
};

} // namespace grinsley
