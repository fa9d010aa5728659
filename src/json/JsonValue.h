#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/Decimal.h"

namespace grinsley::json {

class Value;
class Object;
struct Member;
class ObjectView;
class TreeBuilder;

// Builds an array value.
using Array = std::vector<Value>;
// The elements of an array value.
using ArrayView = std::span<const Value>;

// Text that could not be written as JSON: stands for a value of some other kind (a date, say), so that a
// writer meeting one fails as it must.
struct Unsupported {
    std::string className;
    friend bool operator==(const Unsupported&, const Unsupported&) = default;
};

// A JSON value: null, a boolean, a decimal number, UTF-8 text, an array or an object. A value does not change
// once made (assign a new one instead); build containers with Array and Object.
//
// Sixteen bytes: short text and most numbers are held inline. A tree read from JSON text lives in one block
// of memory that its root owns, so reading and freeing a document cost a few allocations rather than one per
// string and container; copying any part of it gives an ordinary, independent value.
class Value {
public:
    enum class Kind : std::uint8_t { Null, Boolean, Number, String, Array, Object, Unsupported };
    // The longest text and the most elements or members one value holds; more throws std::length_error.
    static constexpr std::size_t maxSize = 0xFFFFFFFFu;

    Value() noexcept = default;
    Value(std::nullptr_t) noexcept {}
    Value(bool b) noexcept;
    Value(const Decimal& d);
    Value(int i) : Value(Decimal(i)) {}
    Value(std::int64_t i) : Value(Decimal(i)) {}
    Value(std::string_view s);
    Value(const std::string& s) : Value(std::string_view(s)) {}
    Value(const char* s) : Value(std::string_view(s)) {}
    Value(Array elements);
    Value(Object members);
    Value(const Unsupported& u);
    // A double is stored as the shortest decimal that reads back as it; non-finite doubles become null.
    static Value fromDouble(double d);

    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    Kind kind() const { return Kind(_s.tag & kindMask); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isBoolean() const { return kind() == Kind::Boolean; }
    bool isNumber() const { return kind() == Kind::Number; }
    bool isString() const { return kind() == Kind::String; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isObject() const { return kind() == Kind::Object; }
    bool isContainer() const { return isArray() || isObject(); }

    // Access to a kind the value holds; another kind gives false, zero, empty text or an empty container.
    bool boolean() const { return isBoolean() && _s.word != 0; }
    Decimal number() const;
    std::string_view string() const { return isString() ? text() : std::string_view(); }
    ArrayView array() const;
    ObjectView object() const;
    std::string_view unsupportedClassName() const { return kind() == Kind::Unsupported ? text() : ""; }

    // The member's value, or nullptr when the key is absent or this is no object.
    const Value* find(std::string_view key) const;

    // The name of the value's kind, as error messages give it.
    std::string className() const;

    friend bool operator==(const Value& a, const Value& b);

private:
    friend class TreeBuilder;

    static constexpr std::uint8_t kindMask = 0x07;
    static constexpr std::uint8_t inlineFlag = 0x08;   // text or number held in the value itself
    static constexpr std::uint8_t borrowedFlag = 0x10; // memory belongs to a read tree's block
    static constexpr std::uint8_t ownerFlag = 0x20;    // the root of a read tree: frees its block
    static constexpr std::uint8_t negativeFlag = 0x40; // of an inline number
    static constexpr std::size_t inlineTextCapacity = 14;

    // The raw representation, trivially copyable so a reader can move values with memcpy.
    struct Storage {
        std::uint64_t word = 0;     // pointer, boolean, inline mantissa, or the first bytes of inline text
        std::uint32_t size = 0;     // length of text, number of elements or members
        std::int16_t exponent = 0;  // of an inline number
        std::uint8_t inlineSize = 0; // length of inline text
        std::uint8_t tag = 0;       // kind and flags
    };
    static_assert(sizeof(Storage) == 16);

    explicit Value(const Storage& s) noexcept : _s(s) {}

    std::string_view text() const;
    template <typename T> const T* pointer() const { return reinterpret_cast<const T*>(_s.word); }
    void setText(std::string_view text, Kind kind);
    void setContainer(const void* items, std::size_t size, Kind kind);
    void copyFrom(const Value& other);
    void release() noexcept;

    Storage _s;
};
static_assert(sizeof(Value) == 16);

// A member of an object value.
struct Member {
    Value name;
    Value value;
    std::string_view key() const { return name.string(); }
};

// The members of an object value, in the order they were first given; a repeated key kept its first place and
// its last value.
class ObjectView {
public:
    using const_iterator = const Member*;
    ObjectView() = default;
    ObjectView(const Member* members, std::size_t size) : _members(members), _size(size) {}

    std::size_t size() const { return _size; }
    bool empty() const { return _size == 0; }
    const Member& operator[](std::size_t i) const { return _members[i]; }
    const_iterator begin() const { return _members; }
    const_iterator end() const { return _members + _size; }
    const Value* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }

private:
    const Member* _members = nullptr;
    std::size_t _size = 0;
};

// Builds an object value: members in the order they were first added; setting a key again replaces its value
// in place.
class Object {
public:
    using Entry = std::pair<std::string, Value>;

    Object() = default;
    Object(std::initializer_list<Entry> entries);

    std::size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }
    void set(std::string key, Value value);
    const Value* find(std::string_view key) const;
    bool remove(std::string_view key);
    const std::vector<Entry>& entries() const { return _entries; }

private:
    friend class Value;
    std::vector<Entry> _entries;
};

inline ArrayView Value::array() const {
    return isArray() ? ArrayView(pointer<Value>(), _s.size) : ArrayView();
}
inline ObjectView Value::object() const {
    return isObject() ? ObjectView(pointer<Member>(), _s.size) : ObjectView();
}
inline const Value* Value::find(std::string_view key) const { return object().find(key); }

} // namespace grinsley::json
