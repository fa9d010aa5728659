#pragma once

#include <cstddef>
#include <cstdint>

#include "json/JsonValue.h"

namespace grinsley::json {

class Arena;

// Makes the values of one tree read from text. Everything it makes lives in one growing block of memory,
// which the root takes over in finish(); until then values are plain 16-byte records that can be copied
// around freely. One tree per builder.
class TreeBuilder {
public:
    using Storage = Value::Storage;

    // The text's size guides the first block's size.
    explicit TreeBuilder(std::size_t textBytes);
    ~TreeBuilder();
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    static Storage null() { return Storage{}; }
    static Storage boolean(bool b) {
        Storage s;
        s.word = b;
        s.tag = std::uint8_t(Value::Kind::Boolean);
        return s;
    }
    // mantissa * 10^exponent, the exponent within a decimal's range.
    static Storage number(std::uint64_t mantissa, int exponent, bool negative) {
        Storage s;
        s.word = mantissa;
        s.exponent = std::int16_t(exponent);
        s.tag = std::uint8_t(std::uint8_t(Value::Kind::Number) | Value::inlineFlag |
                             (negative ? Value::negativeFlag : 0));
        return s;
    }
    static bool fitsInline(const Decimal& d) { return (d.mantissa() >> 64) == 0; }
    Storage number(const Decimal& d);
    // Text of up to 14 bytes, held in the record itself; `readable` as for string().
    static Storage inlineText(const char* text, std::size_t size, std::size_t readable, Value::Kind kind);
    // `readable` is how many bytes from `text` on may be read (at least `size`).
    Storage string(const char* text, std::size_t size, std::size_t readable = 0);
    Storage array(const Storage* elements, std::size_t count);
    // Members as key, value, key, value...; of a repeated key the first place and the last value are kept
    // (the list is compacted in place for that).
    Storage object(Storage* keysAndValues, std::size_t count);

    // The text of a string record.
    static std::string_view text(const Storage& s) { return reinterpret_cast<const Value&>(s).string(); }

    // The finished tree; a container root takes the memory over, a scalar is copied out of it.
    Value finish(const Storage& root);

private:
    Arena* _arena;
};

} // namespace grinsley::json
