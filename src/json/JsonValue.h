#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "json/Decimal.h"

namespace grinsley::json {

class Value;
using Array = std::vector<Value>;

// A JSON object: members in the order they were first added; a repeated key keeps its first place and its
// last value.
class Object {
public:
    struct Member;
    using const_iterator = std::vector<Member>::const_iterator;

    // Defined where a member is a complete type.
    Object();
    ~Object();
    Object(const Object& other);
    Object(Object&& other) noexcept;
    Object& operator=(const Object& other);
    Object& operator=(Object&& other) noexcept;
    Object(std::initializer_list<Member> members);
    // Takes the members as they are; of a repeated key the first place and the last value are kept.
    static Object fromMembers(std::vector<Member>&& members);

    std::size_t size() const;
    bool empty() const { return size() == 0; }

    // Sets the key's value, replacing an earlier one.
    void set(std::string key, Value value);
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    bool remove(std::string_view key);

    const std::vector<Member>& members() const { return _members; }
    const_iterator begin() const;
    const_iterator end() const;

    friend bool operator==(const Object& a, const Object& b);

private:
    std::vector<Member> _members;
};

// Text that could not be written as JSON: stands for a value of some other kind (a date, say), so that a
// writer meeting one fails as it must.
struct Unsupported {
    std::string className;
    friend bool operator==(const Unsupported&, const Unsupported&) = default;
};

// A JSON value: null, a boolean, a decimal number, UTF-8 text, an array or an object.
class Value {
public:
    enum class Kind { Null, Boolean, Number, String, Array, Object, Unsupported };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : _data(b) {}
    Value(Decimal d) : _data(d) {}
    Value(int i) : _data(Decimal(i)) {}
    Value(std::int64_t i) : _data(Decimal(i)) {}
    Value(std::string s) : _data(std::move(s)) {}
    Value(std::string_view s) : _data(std::string(s)) {}
    Value(const char* s) : _data(std::string(s)) {}
    Value(Array a) : _data(std::move(a)) {}
    Value(Object o) : _data(std::move(o)) {}
    Value(Unsupported u) : _data(std::move(u)) {}
    // A double is stored as the shortest decimal that reads back as it; non-finite doubles become null.
    static Value fromDouble(double d);

    Kind kind() const { return Kind(_data.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isBoolean() const { return kind() == Kind::Boolean; }
    bool isNumber() const { return kind() == Kind::Number; }
    bool isString() const { return kind() == Kind::String; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isObject() const { return kind() == Kind::Object; }
    bool isContainer() const { return isArray() || isObject(); }

    // Access to a kind the value holds; asking for another kind is a programming error.
    bool boolean() const { return std::get<bool>(_data); }
    const Decimal& number() const { return std::get<Decimal>(_data); }
    const std::string& string() const { return std::get<std::string>(_data); }
    const Array& array() const { return std::get<Array>(_data); }
    Array& array() { return std::get<Array>(_data); }
    const Object& object() const { return std::get<Object>(_data); }
    Object& object() { return std::get<Object>(_data); }
    const Unsupported& unsupported() const { return std::get<Unsupported>(_data); }

    // Lookups that tolerate a value of another kind: nullptr when absent.
    const Value* find(std::string_view key) const { return isObject() ? object().find(key) : nullptr; }
    const std::string* stringOrNull() const { return std::get_if<std::string>(&_data); }

    // The name of the value's kind, as error messages give it.
    std::string className() const;

    friend bool operator==(const Value& a, const Value& b) { return a._data == b._data; }

private:
    std::variant<std::monostate, bool, Decimal, std::string, Array, Object, Unsupported> _data;
};

struct Object::Member {
    std::string key;
    Value value;
    friend bool operator==(const Member&, const Member&) = default;
};

inline std::size_t Object::size() const { return _members.size(); }
inline Object::const_iterator Object::begin() const { return _members.begin(); }
inline Object::const_iterator Object::end() const { return _members.end(); }

} // namespace grinsley::json
