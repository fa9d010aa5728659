#include "QNJsonWriter.h"

#include <algorithm>
#include <array>

#include "json/Utf8.h"

namespace grinsley {

using json::Value;
namespace code = json::ErrorCode;

namespace {

// Bytes of a string that need escaping: the control codes, the double quote and the backslash.
const std::array<bool, 256> needsEscape = [] {
    std::array<bool, 256> set{};
    for (int b = 0; b < 32; ++b)
        set[std::size_t(b)] = true;
    set['"'] = set['\\'] = true;
    return set;
}();

} // namespace

std::optional<std::string> QNJsonWriter::stringWithObject(const Value& value) {
    if (value.isContainer())
        return stringWithFragment(value);
    clearErrorTrace();
    addErrorWithCode(code::NotContainer, "Not valid type for JSON");
    return std::nullopt;
}

std::optional<std::string> QNJsonWriter::stringWithFragment(const Value& value) {
    clearErrorTrace();
    _depth = 0;
    std::string text;
    text.reserve(128);
    if (!appendValue(value, text))
        return std::nullopt;
    return text;
}

bool QNJsonWriter::appendValue(const Value& value, std::string& into) {
    switch (value.kind()) {
    case Value::Kind::Object:
        return appendDictionary(value.object(), into);
    case Value::Kind::Array:
        return appendArray(value.array(), into);
    case Value::Kind::String:
        appendString(value.string(), into);
        return true;
    case Value::Kind::Boolean:
        into += value.boolean() ? "true" : "false";
        return true;
    case Value::Kind::Number:
        value.number().appendTo(into);
        return true;
    case Value::Kind::Null:
        into += "null";
        return true;
    case Value::Kind::Unsupported:
        break;
    }
    addErrorWithCode(code::Unsupported, "JSON serialisation not supported for " + value.className());
    return false;
}

bool QNJsonWriter::appendDictionary(json::ObjectView object, std::string& into) {
    if (!enterLevel())
        return false;
    into.push_back('{');
    const char* separator = _humanReadable ? " : " : ":";
    bool first = true;
    auto appendMember = [&](const json::Member& member) {
        if (!first)
            into.push_back(',');
        first = false;
        if (_humanReadable)
            appendIndent(into);
        appendString(member.key(), into);
        into += separator;
        if (appendValue(member.value, into))
            return true;
        addErrorWithCode(code::Unsupported, "Unsupported value for key " + std::string(member.key()) + " in object");
        return false;
    };
    if (_sortKeys) {
        std::vector<const json::Member*> sorted;
        sorted.reserve(object.size());
        for (const json::Member& member : object)
            sorted.push_back(&member);
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto* a, const auto* b) { return json::utf8::lessByUtf16(a->key(), b->key()); });
        for (const json::Member* member : sorted) {
            if (!appendMember(*member))
                return false;
        }
    } else {
        for (const json::Member& member : object) {
            if (!appendMember(member))
                return false;
        }
    }
    leaveLevel();
    if (_humanReadable && !object.empty())
        appendIndent(into);
    into.push_back('}');
    return true;
}

bool QNJsonWriter::appendArray(json::ArrayView array, std::string& into) {
    if (!enterLevel())
        return false;
    into.push_back('[');
    bool first = true;
    for (const Value& element : array) {
        if (!first)
            into.push_back(',');
        first = false;
        if (_humanReadable)
            appendIndent(into);
        if (!appendValue(element, into))
            return false;
    }
    leaveLevel();
    if (_humanReadable && !array.empty())
        appendIndent(into);
    into.push_back(']');
    return true;
}

void QNJsonWriter::appendIndent(std::string& into) const {
    into.push_back('\n');
    into.append(std::size_t(_depth) * 2, ' ');
}

void QNJsonWriter::appendString(std::string_view text, std::string& into) const {
    into.push_back('"');
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (!needsEscape[b])
            continue;
        into.append(text, runStart, i - runStart);
        runStart = i + 1;
        switch (b) {
        case '\b':
            into += "\\b";
            break;
        case '\t':
            into += "\\t";
            break;
        case '\n':
            into += "\\n";
            break;
        case '\f':
            into += "\\f";
            break;
        case '\r':
            into += "\\r";
            break;
        case '"':
            into += "\\\"";
            break;
        case '\\':
            into += "\\\\";
            break;
        default: {
            static constexpr char digits[] = "0123456789abcdef";
            const char escaped[] = {'\\', 'u', '0', '0', digits[b >> 4], digits[b & 15]};
            into.append(escaped, sizeof escaped);
        }
        }
    }
    into.append(text, runStart, std::string_view::npos);
    into.push_back('"');
}

} // namespace grinsley
