#include "QNJsonParser.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "json/Utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace grinsley {

using json::Value;
namespace code = json::ErrorCode;

namespace {

struct ByteTables {
    std::array<bool, 256> whitespace{};
    std::array<bool, 256> stringStop{}; // ends a run of ordinary string bytes
    std::array<signed char, 256> hex{};
    ByteTables() {
        for (unsigned char b : {' ', '\t', '\n', '\v', '\f', '\r'})
            whitespace[b] = true;
        for (int b = 0; b < 32; ++b)
            stringStop[std::size_t(b)] = true;
        stringStop['"'] = stringStop['\\'] = true;
        hex.fill(-1);
        for (int i = 0; i < 10; ++i)
            hex[std::size_t('0' + i)] = char(i);
        for (int i = 0; i < 6; ++i)
            hex[std::size_t('a' + i)] = hex[std::size_t('A' + i)] = char(10 + i);
    }
};
const ByteTables tables;

std::string hexByte(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", value);
    return buffer;
}

bool isDigit(unsigned char b) { return b >= '0' && b <= '9'; }

// The elements a container pushed since its mark, moved into a vector of exactly their number.
template <typename T> std::vector<T> takeFrom(std::vector<T>& stack, std::size_t mark) {
    std::vector<T> out(std::make_move_iterator(stack.begin() + std::ptrdiff_t(mark)),
                       std::make_move_iterator(stack.end()));
    stack.resize(mark);
    return out;
}

// Whether any of the eight bytes is a double quote, a backslash or below 32.
inline bool hasStopByte(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    auto zeroByte = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    const std::uint64_t below32 = (word - ones * 32) & ~word & highs;
    return (zeroByte(word ^ (ones * '"')) | zeroByte(word ^ (ones * '\\')) | below32) != 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Top level

std::optional<Value> QNJsonParser::fragmentWithString(std::optional<std::string_view> text) {
    clearErrorTrace();
    if (!text) {
        addErrorWithCode(code::NoInput, "Input was 'nil'");
        return std::nullopt;
    }
    _depth = 0;
    c = reinterpret_cast<const unsigned char*>(text->data());
    _end = c + text->size();
    _values.clear();
    _members.clear();
    Value value;
    if (!scanValue(value) || !scanIsAtEnd())
        return std::nullopt;
    return value;
}

std::optional<Value> QNJsonParser::objectWithString(std::optional<std::string_view> text) {
    std::optional<Value> value = fragmentWithString(text);
    if (value && !value->isContainer()) {
        addErrorWithCode(code::NotContainer, "Valid fragment, but not JSON");
        return std::nullopt;
    }
    return value;
}

bool QNJsonParser::scanIsAtEnd() {
    skipWhitespace();
    if (c != _end) {
        addErrorWithCode(code::Garbage, "Garbage after JSON");
        return false;
    }
    return true;
}

void QNJsonParser::skipWhitespace() {
    if (c < _end && *c > ' ')
        return;
    while (c < _end && tables.whitespace[*c])
        ++c;
}

// ---------------------------------------------------------------------------------------------------------
// Values

bool QNJsonParser::scanValue(Value& value) {
    skipWhitespace();
    const unsigned char b = peek();
    if (c < _end)
        ++c;
    switch (b) {
    case '[':
        return scanRestOfArray(value);
    case '{':
        return scanRestOfDictionary(value);
    case '"': {
        std::string text;
        if (!scanRestOfString(text))
            return false;
        value = Value(std::move(text));
        return true;
    }
    case 'n':
        return scanRestOfNull(value);
    case 'f':
        return scanRestOfFalse(value);
    case 't':
        return scanRestOfTrue(value);
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        --c;
        return scanNumber(value);
    case '+':
        addErrorWithCode(code::BadNumber, "Leading + disallowed in number");
        return false;
    case 0:
        // The end of the input, or a zero byte inside it, which ends it as far as JSON goes.
        addErrorWithCode(code::EndOfInput, "Unexpected end of string");
        return false;
    default:
        addErrorWithCode(code::Syntax, "Unrecognised leading character");
        return false;
    }
}

bool QNJsonParser::scanWord(const char* rest, std::size_t length, const char* error) {
    if (std::size_t(_end - c) < length || std::memcmp(c, rest, length) != 0) {
        addErrorWithCode(code::Syntax, error);
        return false;
    }
    c += length;
    return true;
}

bool QNJsonParser::scanRestOfNull(Value& value) {
    if (!scanWord("ull", 3, "Expected 'null'"))
        return false;
    value = Value();
    return true;
}

bool QNJsonParser::scanRestOfFalse(Value& value) {
    if (!scanWord("alse", 4, "Expected 'false'"))
        return false;
    value = Value(false);
    return true;
}

bool QNJsonParser::scanRestOfTrue(Value& value) {
    if (!scanWord("rue", 3, "Expected 'true'"))
        return false;
    value = Value(true);
    return true;
}

bool QNJsonParser::scanNumber(Value& value) {
    const unsigned char* const start = c;
    const bool negative = peek() == '-';
    if (negative)
        ++c;
    std::uint64_t mantissa = 0;
    int digits = 0;
    if (peek() == '0') {
        ++c;
        if (isDigit(peek())) {
            addErrorWithCode(code::BadNumber, "Leading 0 disallowed in number");
            return false;
        }
    } else if (!isDigit(peek())) {
        if (negative) {
            addErrorWithCode(code::BadNumber, "No digits after initial minus");
            return false;
        }
    } else {
        while (isDigit(peek())) {
            mantissa = mantissa * 10 + std::uint64_t(*c++ - '0');
            ++digits;
        }
    }
    int fractionDigits = 0;
    if (peek() == '.') {
        ++c;
        if (!isDigit(peek())) {
            addErrorWithCode(code::BadNumber, "No digits after decimal point");
            return false;
        }
        while (isDigit(peek())) {
            mantissa = mantissa * 10 + std::uint64_t(*c++ - '0');
            ++fractionDigits;
        }
    }
    int exponent = 0;
    int exponentDigits = 0;
    if (peek() == 'e' || peek() == 'E') {
        ++c;
        bool exponentNegative = false;
        if (peek() == '-' || peek() == '+')
            exponentNegative = *c++ == '-';
        if (!isDigit(peek())) {
            addErrorWithCode(code::BadNumber, "No digits after exponent");
            return false;
        }
        while (isDigit(peek())) {
            if (exponentDigits < 6)
                exponent = exponent * 10 + (*c - '0');
            ++exponentDigits;
            ++c;
        }
        if (exponentNegative)
            exponent = -exponent;
    }
    // Up to 19 digits fit a 64-bit mantissa exactly; anything longer or far out takes the general route.
    const int scale = exponent - fractionDigits;
    if (digits + fractionDigits <= 19 && exponentDigits <= 5 && scale >= json::Decimal::minExponent &&
        scale <= json::Decimal::maxExponent) {
        value = Value(json::Decimal::fromParts(mantissa, scale, negative));
        return true;
    }
    const auto decimal =
        json::Decimal::fromString(std::string_view(reinterpret_cast<const char*>(start), std::size_t(c - start)));
    if (!decimal) {
        addErrorWithCode(code::BadNumber, "Failed creating decimal instance");
        return false;
    }
    value = Value(*decimal);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Strings

bool QNJsonParser::scanRestOfString(std::string& text) {
    for (;;) {
        // The longest run of ordinary bytes goes in at once, found eight bytes at a time.
        const unsigned char* run = c;
        std::uint64_t highBits = 0;
#if defined(__SSE2__)
        {
            const __m128i quote = _mm_set1_epi8('"');
            const __m128i backslash = _mm_set1_epi8('\\');
            const __m128i control = _mm_set1_epi8(0x1F);
            while (_end - c >= 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
                const __m128i below32 = _mm_cmpeq_epi8(_mm_min_epu8(v, control), v);
                const __m128i stop =
                    _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)), below32);
                if (_mm_movemask_epi8(v))
                    highBits = 0x80;
                if (const int found = _mm_movemask_epi8(stop)) {
                    c += __builtin_ctz(unsigned(found));
                    break;
                }
                c += 16;
            }
        }
#endif
        while (_end - c >= 8) {
            std::uint64_t word;
            std::memcpy(&word, c, 8);
            if (hasStopByte(word))
                break;
            highBits |= word;
            c += 8;
        }
        while (c < _end && !tables.stringStop[*c])
            highBits |= *c++;
        // Outside strings any byte above 127 is a syntax error already; inside, it must be well-formed UTF-8.
        // Runs end at ASCII bytes, so no character straddles two runs.
        if ((highBits & 0x8080808080808080ull) &&
            !json::utf8::isValid(std::string_view(reinterpret_cast<const char*>(run), std::size_t(c - run)))) {
            addErrorWithCode(code::NoInput, "Input is not valid UTF-8");
            return false;
        }
        text.append(reinterpret_cast<const char*>(run), std::size_t(c - run));
        const unsigned char b = peek();
        if (b == '"') {
            ++c;
            return true;
        }
        if (b != '\\') {
            // A control byte, or the end of a string that was never closed (reported as byte 0).
            addErrorWithCode(code::ControlCharacter, "Unescaped control character '" + hexByte(b) + "'");
            return false;
        }
        ++c;
        const unsigned char escape = peek();
        switch (escape) {
        case '"':
        case '\\':
        case '/':
            text.push_back(char(escape));
            break;
        case 'b':
            text.push_back('\b');
            break;
        case 'f':
            text.push_back('\f');
            break;
        case 'n':
            text.push_back('\n');
            break;
        case 'r':
            text.push_back('\r');
            break;
        case 't':
            text.push_back('\t');
            break;
        case 'u':
            ++c;
            if (!scanUnicodeChar(text)) {
                addErrorWithCode(code::BadUnicodeEscape, "Broken unicode character");
                return false;
            }
            --c; // scanUnicodeChar leaves the position after the escape; the step below does the same
            break;
        default:
            addErrorWithCode(code::BadEscape, "Illegal escape sequence '" + hexByte(escape) + "'");
            return false;
        }
        ++c;
        if (peek() == 0) {
            addErrorWithCode(code::EndOfInput, "Unexpected EOF while parsing string");
            return false;
        }
    }
}

bool QNJsonParser::scanHexQuad(unsigned& quad) {
    quad = 0;
    for (int i = 0; i < 4; ++i) {
        const signed char digit = tables.hex[peek()];
        if (digit < 0) {
            addErrorWithCode(code::BadUnicodeEscape, "Missing hex digit in quad");
            return false;
        }
        quad = quad * 16 + unsigned(digit);
        ++c;
    }
    return true;
}

bool QNJsonParser::scanUnicodeChar(std::string& text) {
    unsigned high;
    if (!scanHexQuad(high)) {
        addErrorWithCode(code::BadUnicodeEscape, "Missing hex quad");
        return false;
    }
    if (high >= 0xDC00 && high <= 0xDFFF) {
        addErrorWithCode(code::BadUnicodeEscape, "Invalid high character in surrogate pair");
        return false;
    }
    char32_t codePoint = high;
    if (high >= 0xD800 && high <= 0xDBFF) {
        unsigned low;
        if (!(peek() == '\\' && _end - c >= 2 && c[1] == 'u')) {
            addErrorWithCode(code::BadUnicodeEscape, "Missing low character in surrogate pair");
            return false;
        }
        c += 2;
        if (!scanHexQuad(low)) {
            addErrorWithCode(code::BadUnicodeEscape, "Missing low character in surrogate pair");
            return false;
        }
        if (low < 0xDC00 || low > 0xDFFF) {
            addErrorWithCode(code::BadUnicodeEscape, "Invalid low surrogate char");
            return false;
        }
        codePoint = 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00);
    }
    json::utf8::append(text, codePoint);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Containers

// After an element: an optional comma (elements may also follow one another with only whitespace between),
// and no closing bracket straight after a comma.
bool QNJsonParser::scanSeparator(unsigned char close, const char* trailingCommaMessage) {
    skipWhitespace();
    if (peek() != ',')
        return true;
    ++c;
    skipWhitespace();
    if (peek() == close) {
        addErrorWithCode(code::TrailingComma, trailingCommaMessage);
        return false;
    }
    return true;
}

bool QNJsonParser::scanRestOfArray(Value& value) {
    if (!enterLevel())
        return false;
    const std::size_t mark = _values.size();
    auto fail = [&] {
        _values.resize(mark);
        return false;
    };
    while (peek() != 0) {
        skipWhitespace();
        if (peek() == ']') {
            ++c;
            leaveLevel();
            value = Value(takeFrom(_values, mark));
            return true;
        }
        Value element;
        if (!scanValue(element)) {
            addErrorWithCode(code::Syntax, "Expected value while parsing array");
            return fail();
        }
        _values.push_back(std::move(element));
        if (!scanSeparator(']', "Trailing comma disallowed in array"))
            return fail();
    }
    addErrorWithCode(code::EndOfInput, "End of input while parsing array");
    return fail();
}

bool QNJsonParser::scanRestOfDictionary(Value& value) {
    if (!enterLevel())
        return false;
    const std::size_t mark = _members.size();
    auto fail = [&] {
        _members.resize(mark);
        return false;
    };
    while (peek() != 0) {
        skipWhitespace();
        if (peek() == '}') {
            ++c;
            leaveLevel();
            value = Value(json::Object::fromMembers(takeFrom(_members, mark)));
            return true;
        }
        std::string key;
        if (peek() != '"') {
            addErrorWithCode(code::Syntax, "Object key string expected");
            return fail();
        }
        ++c;
        if (!scanRestOfString(key)) {
            addErrorWithCode(code::Syntax, "Object key string expected");
            return fail();
        }
        skipWhitespace();
        if (peek() != ':') {
            addErrorWithCode(code::Syntax, "Expected ':' separating key and value");
            return fail();
        }
        ++c;
        Value member;
        if (!scanValue(member)) {
            addErrorWithCode(code::Syntax, "Object value expected for key: " + key);
            return fail();
        }
        _members.push_back(json::Object::Member{std::move(key), std::move(member)});
        if (!scanSeparator('}', "Trailing comma disallowed in object"))
            return fail();
    }
    addErrorWithCode(code::EndOfInput, "End of input while parsing object");
    return fail();
}

} // namespace grinsley
