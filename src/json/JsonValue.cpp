#include "JsonValue.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_map>

#include "json/TreeBuilder.h"

namespace grinsley::json {

// The memory of a tree read from text: chunks handed out front to back and freed all together.
class Arena {
public:
    explicit Arena(std::size_t firstChunk) : _nextChunkSize(firstChunk) {}
    ~Arena() {
        while (_chunks) {
            Chunk* next = _chunks->next;
            ::operator delete(_chunks);
            _chunks = next;
        }
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Eight-byte aligned, as every value part is.
    void* allocate(std::size_t bytes) {
        bytes = (bytes + 7) & ~std::size_t(7);
        if (std::size_t(_limit - _next) < bytes)
            grow(bytes);
        void* p = _next;
        _next += bytes;
        return p;
    }

private:
    struct Chunk {
        Chunk* next;
    };
    static constexpr std::size_t maxChunkSize = std::size_t(8) << 20;

    void grow(std::size_t bytes) {
        const std::size_t size = std::max(_nextChunkSize, bytes + sizeof(Chunk));
        auto* chunk = static_cast<Chunk*>(::operator new(size));
        chunk->next = _chunks;
        _chunks = chunk;
        _next = reinterpret_cast<char*>(chunk + 1);
        _limit = reinterpret_cast<char*>(chunk) + size;
        _nextChunkSize = std::min(_nextChunkSize * 2, maxChunkSize);
    }

    Chunk* _chunks = nullptr;
    char* _next = nullptr;
    char* _limit = nullptr;
    std::size_t _nextChunkSize;
};

namespace {

// The root of a read tree keeps its arena in the word just before its elements.
Arena*& ownerSlot(std::uint64_t items) { return *(reinterpret_cast<Arena**>(items) - 1); }

template <typename T> T* allocateOwned(std::size_t count) {
    if (count > Value::maxSize)
        throw std::length_error("JSON value too large");
    return count ? static_cast<T*>(::operator new(count * sizeof(T))) : nullptr;
}

template <typename T> T* copyOwned(const T* from, std::size_t count) {
    T* items = allocateOwned<T>(count);
    std::uninitialized_copy_n(from, count, items);
    return items;
}

template <typename T> void destroyOwned(T* items, std::size_t count) {
    std::destroy_n(items, count);
    ::operator delete(items);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Value

Value::Value(bool b) noexcept : _s(TreeBuilder::boolean(b)) {}

Value::Value(const Decimal& d) {
    if (TreeBuilder::fitsInline(d)) {
        _s = TreeBuilder::number(std::uint64_t(d.mantissa()), d.exponent(), d.negative());
        return;
    }
    _s.word = reinterpret_cast<std::uint64_t>(new Decimal(d));
    _s.tag = std::uint8_t(Kind::Number);
}

Value::Value(std::string_view s) { setText(s, Kind::String); }

Value::Value(const Unsupported& u) { setText(u.className, Kind::Unsupported); }

Value::Value(Array elements) {
    Value* items = allocateOwned<Value>(elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i)
        new (items + i) Value(std::move(elements[i]));
    setContainer(items, elements.size(), Kind::Array);
}

Value::Value(Object members) {
    const std::size_t n = members._entries.size();
    Member* items = allocateOwned<Member>(n);
    for (std::size_t i = 0; i < n; ++i)
        new (items + i) Member{Value(members._entries[i].first), std::move(members._entries[i].second)};
    setContainer(items, n, Kind::Object);
}

void Value::setContainer(const void* items, std::size_t size, Kind kind) {
    _s.word = reinterpret_cast<std::uint64_t>(items);
    _s.size = std::uint32_t(size);
    _s.tag = std::uint8_t(kind);
}

Value Value::fromDouble(double d) {
    if (auto decimal = Decimal::fromDouble(d))
        return Value(*decimal);
    return Value();
}

Value::Value(const Value& other) { copyFrom(other); }

Value::Value(Value&& other) noexcept {
    if (other._s.tag & borrowedFlag) {
        // Part of another value's tree: that memory is not ours to take.
        copyFrom(other);
        return;
    }
    _s = other._s;
    other._s = Storage{};
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        Value taken(std::move(other));
        release();
        _s = taken._s;
        taken._s = Storage{};
    }
    return *this;
}

Value::~Value() { release(); }

void Value::release() noexcept {
    const std::uint8_t tag = _s.tag;
    if (tag & (borrowedFlag | inlineFlag))
        return;
    if (tag & ownerFlag) {
        delete ownerSlot(_s.word);
        return;
    }
    switch (kind()) {
    case Kind::Number:
        delete pointer<Decimal>();
        break;
    case Kind::String:
    case Kind::Unsupported:
        ::operator delete(const_cast<char*>(pointer<char>()));
        break;
    case Kind::Array:
        destroyOwned(const_cast<Value*>(pointer<Value>()), _s.size);
        break;
    case Kind::Object:
        destroyOwned(const_cast<Member*>(pointer<Member>()), _s.size);
        break;
    default:
        break;
    }
}

// A deep copy that owns all its memory, whatever the other value's memory belongs to.
void Value::copyFrom(const Value& other) {
    const Storage& o = other._s;
    switch (other.kind()) {
    case Kind::Null:
    case Kind::Boolean:
        _s = o;
        return;
    case Kind::Number:
        if (o.tag & inlineFlag) {
            _s = o;
        } else {
            _s.word = reinterpret_cast<std::uint64_t>(new Decimal(*other.pointer<Decimal>()));
            _s.tag = std::uint8_t(Kind::Number);
        }
        return;
    case Kind::String:
    case Kind::Unsupported:
        setText(other.text(), other.kind());
        return;
    case Kind::Array:
        setContainer(copyOwned(other.pointer<Value>(), o.size), o.size, Kind::Array);
        return;
    case Kind::Object:
        setContainer(copyOwned(other.pointer<Member>(), o.size), o.size, Kind::Object);
        return;
    }
}

void Value::setText(std::string_view text, Kind kind) {
    _s = Storage{};
    if (text.size() <= inlineTextCapacity) {
        _s = TreeBuilder::inlineText(text.data(), text.size(), text.size(), kind);
        return;
    }
    char* chars = allocateOwned<char>(text.size());
    std::memcpy(chars, text.data(), text.size());
    _s.word = reinterpret_cast<std::uint64_t>(chars);
    _s.size = std::uint32_t(text.size());
    _s.tag = std::uint8_t(kind);
}

std::string_view Value::text() const {
    if (_s.tag & inlineFlag)
        return std::string_view(reinterpret_cast<const char*>(&_s), _s.inlineSize);
    return std::string_view(pointer<char>(), _s.size);
}

Decimal Value::number() const {
    if (!isNumber())
        return Decimal();
    if (_s.tag & inlineFlag)
        return Decimal::fromParts(_s.word, _s.exponent, (_s.tag & negativeFlag) != 0);
    return *pointer<Decimal>();
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
        return std::string(text());
    }
    return {};
}

// Key order does not matter for equality.
bool operator==(const Value& a, const Value& b) {
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case Value::Kind::Null:
        return true;
    case Value::Kind::Boolean:
        return a.boolean() == b.boolean();
    case Value::Kind::Number:
        return a.number() == b.number();
    case Value::Kind::String:
    case Value::Kind::Unsupported:
        return a.text() == b.text();
    case Value::Kind::Array:
        return std::ranges::equal(a.array(), b.array());
    case Value::Kind::Object: {
        const ObjectView x = a.object(), y = b.object();
        if (x.size() != y.size())
            return false;
        return std::ranges::all_of(x, [&](const Member& m) {
            const Value* other = y.find(m.key());
            return other && *other == m.value;
        });
    }
    }
    return false;
}

const Value* ObjectView::find(std::string_view key) const {
    for (const Member& m : *this) {
        if (m.key() == key)
            return &m.value;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------------------
// Object

Object::Object(std::initializer_list<Entry> entries) {
    for (const Entry& e : entries)
        set(e.first, e.second);
}

void Object::set(std::string key, Value value) {
    const auto it = std::ranges::find(_entries, key, &Entry::first);
    if (it != _entries.end())
        it->second = std::move(value);
    else
        _entries.emplace_back(std::move(key), std::move(value));
}

const Value* Object::find(std::string_view key) const {
    const auto it = std::ranges::find(_entries, key, &Entry::first);
    return it != _entries.end() ? &it->second : nullptr;
}

bool Object::remove(std::string_view key) {
    const auto it = std::ranges::find(_entries, key, &Entry::first);
    if (it == _entries.end())
        return false;
    _entries.erase(it);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// TreeBuilder

namespace {

// A tree takes somewhat more room than its text (element records, copied strings); start near that.
std::size_t firstChunkSize(std::size_t textBytes) {
    return std::clamp(textBytes * 2, std::size_t(1024), std::size_t(16) << 20);
}

} // namespace

// string() writes the length and the tag as the top bytes of the record's second word.
static_assert(offsetof(TreeBuilder::Storage, inlineSize) == 14 && offsetof(TreeBuilder::Storage, tag) == 15);

TreeBuilder::TreeBuilder(std::size_t textBytes) : _arena(new Arena(firstChunkSize(textBytes))) {}

TreeBuilder::~TreeBuilder() { delete _arena; }

TreeBuilder::Storage TreeBuilder::number(const Decimal& d) {
    if (fitsInline(d))
        return number(std::uint64_t(d.mantissa()), d.exponent(), d.negative());
    Storage s;
    s.word = reinterpret_cast<std::uint64_t>(new (_arena->allocate(sizeof(Decimal))) Decimal(d));
    s.tag = std::uint8_t(std::uint8_t(Value::Kind::Number) | Value::borrowedFlag);
    return s;
}

TreeBuilder::Storage TreeBuilder::inlineText(const char* text, std::size_t size, std::size_t readable,
                                              Value::Kind kind) {
    Storage s;
    const auto tag = std::uint8_t(std::uint8_t(kind) | Value::inlineFlag);
    if constexpr (std::endian::native == std::endian::little) {
        // Two whole-word loads and stores: byte-wise copies into the record, read back as words a moment
        // later, would stall on store forwarding, and most keys and ids are this short.
        std::uint64_t words[2] = {0, 0};
        if (readable >= 16) {
            std::memcpy(words, text, 16);
            const auto keep = [](std::size_t bytes) { return bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1; };
            words[0] &= keep(size);
            words[1] &= size > 8 ? keep(size - 8) : 0;
        } else {
            std::memcpy(words, text, size);
        }
        words[1] |= (std::uint64_t(size) << 48) | (std::uint64_t(tag) << 56);
        std::memcpy(&s, words, sizeof words);
    } else {
        std::memcpy(&s, text, size);
        s.inlineSize = std::uint8_t(size);
        s.tag = tag;
    }
    return s;
}

TreeBuilder::Storage TreeBuilder::string(const char* text, std::size_t size, std::size_t readable) {
    if (size <= Value::inlineTextCapacity)
        return inlineText(text, size, readable, Value::Kind::String);
    Storage s;
    void* chars = _arena->allocate(size);
    std::memcpy(chars, text, size);
    s.word = reinterpret_cast<std::uint64_t>(chars);
    s.size = std::uint32_t(size);
    s.tag = std::uint8_t(std::uint8_t(Value::Kind::String) | Value::borrowedFlag);
    return s;
}

TreeBuilder::Storage TreeBuilder::array(const Storage* elements, std::size_t count) {
    Storage s;
    if (count) {
        void* items = _arena->allocate(count * sizeof(Storage));
        std::memcpy(items, elements, count * sizeof(Storage));
        s.word = reinterpret_cast<std::uint64_t>(items);
    }
    s.size = std::uint32_t(count);
    s.tag = std::uint8_t(std::uint8_t(Value::Kind::Array) | Value::borrowedFlag);
    return s;
}

namespace {

// Drops repeated keys, keeping each key's first place and last value; returns the number of members left.
std::size_t mergeRepeatedKeys(TreeBuilder::Storage* kv, std::size_t count) {
    // Small objects, the common case, are checked pairwise; large ones through a hash of the keys.
    if (count <= 16) {
        bool repeated = false;
        for (std::size_t i = 1; i < count && !repeated; ++i) {
            const std::string_view key = TreeBuilder::text(kv[2 * i]);
            for (std::size_t j = 0; j < i && !repeated; ++j)
                repeated = TreeBuilder::text(kv[2 * j]) == key;
        }
        if (!repeated)
            return count;
    }
    // Keys are looked up at their first place, which is written once and never moved again: the map's views
    // of inline key text stay good.
    std::unordered_map<std::string_view, std::size_t> firstPlace;
    firstPlace.reserve(count);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto it = firstPlace.find(TreeBuilder::text(kv[2 * i]));
        if (it != firstPlace.end()) {
            kv[2 * it->second + 1] = kv[2 * i + 1];
            continue;
        }
        kv[2 * kept] = kv[2 * i];
        kv[2 * kept + 1] = kv[2 * i + 1];
        firstPlace.emplace(TreeBuilder::text(kv[2 * kept]), kept);
        ++kept;
    }
    return kept;
}

} // namespace

TreeBuilder::Storage TreeBuilder::object(Storage* keysAndValues, std::size_t count) {
    count = mergeRepeatedKeys(keysAndValues, count);
    Storage s = array(keysAndValues, count * 2);
    s.size = std::uint32_t(count);
    s.tag = std::uint8_t(std::uint8_t(Value::Kind::Object) | Value::borrowedFlag);
    return s;
}

Value TreeBuilder::finish(const Storage& root) {
    const auto kind = Value::Kind(root.tag & Value::kindMask);
    if (kind != Value::Kind::Array && kind != Value::Kind::Object)
        return Value(reinterpret_cast<const Value&>(root)); // a copy that owns its memory
    // The root's elements move behind a slot that holds the arena, which the root then owns.
    const std::size_t recordBytes = (kind == Value::Kind::Object ? 2 : 1) * sizeof(Storage) * root.size;
    auto* slot = static_cast<Arena**>(_arena->allocate(sizeof(Arena*) + recordBytes));
    if (recordBytes)
        std::memcpy(slot + 1, reinterpret_cast<const void*>(root.word), recordBytes);
    Storage s = root;
    s.word = reinterpret_cast<std::uint64_t>(slot + 1);
    s.tag = std::uint8_t((root.tag & ~Value::borrowedFlag) | Value::ownerFlag);
    *slot = _arena;
    _arena = nullptr;
    return Value(s);
}

} // namespace grinsley::json
