#include "JsonValue.h"

#include <algorithm>
#include <unordered_map>

namespace grinsley::json {

Object::Object() = default;
Object::~Object() = default;
Object::Object(const Object& other) = default;
Object::Object(Object&& other) noexcept = default;
Object& Object::operator=(const Object& other) = default;
Object& Object::operator=(Object&& other) noexcept = default;

Object::Object(std::initializer_list<Member> members) {
    for (const Member& m : members)
        set(m.key, m.value);
}

Object Object::fromMembers(std::vector<Member>&& members) {
    Object object;
    const std::size_t n = members.size();
    // Small objects, the common case, are checked pairwise; large ones through a hash of the keys.
    bool repeated = false;
    if (n <= 16) {
        for (std::size_t i = 1; i < n && !repeated; ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (members[i].key == members[j].key) {
                    repeated = true;
                    break;
                }
            }
        }
        if (!repeated) {
            object._members = std::move(members);
            return object;
        }
    }
    std::unordered_map<std::string_view, std::size_t> firstPlace;
    firstPlace.reserve(n);
    std::vector<Member>& out = object._members;
    out.reserve(n);
    for (Member& m : members) {
        const auto [it, inserted] = firstPlace.try_emplace(m.key, out.size());
        if (inserted)
            out.push_back(Member{m.key, std::move(m.value)});
        else
            out[it->second].value = std::move(m.value);
    }
    // The map's views point into `members`, which is not touched again: keys were copied into `out`.
    return object;
}

void Object::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    _members.push_back(Member{std::move(key), std::move(value)});
}

const Value* Object::find(std::string_view key) const {
    for (const Member& m : _members) {
        if (m.key == key)
            return &m.value;
    }
    return nullptr;
}

Value* Object::find(std::string_view key) {
    return const_cast<Value*>(static_cast<const Object*>(this)->find(key));
}

bool Object::remove(std::string_view key) {
    const auto it = std::find_if(_members.begin(), _members.end(), [&](const Member& m) { return m.key == key; });
    if (it == _members.end())
        return false;
    _members.erase(it);
    return true;
}

// Key order does not matter for equality.
bool operator==(const Object& a, const Object& b) {
    if (a.size() != b.size())
        return false;
    for (const Object::Member& m : a._members) {
        const Value* other = b.find(m.key);
        if (!other || !(*other == m.value))
            return false;
    }
    return true;
}

Value Value::fromDouble(double d) {
    if (auto decimal = Decimal::fromDouble(d))
        return Value(*decimal);
    return Value();
}

std::string Value::className() const {
    switch (kind()) {
    case Kind::Null:
        return "Null";
    case Kind::Boolean:
        return "Boolean";
    case Kind::Number:
        return "Decimal";
    case Kind::String:
        return "String";
    case Kind::Array:
        return "Array";
    case Kind::Object:
        return "Object";
    case Kind::Unsupported:
        return unsupported().className;
    }
    return {};
}

} // namespace grinsley::json
