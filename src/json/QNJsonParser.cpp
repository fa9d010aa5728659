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
    if (text->size() > json::Value::maxSize) {
        // No string or container in it could be held.
        addErrorWithCode(code::NoInput, "Input is too long");
        return std::nullopt;
    }
    _depth = 0;
    c = reinterpret_cast<const unsigned char*>(text->data());
    _end = c + text->size();
    _stack.clear();
    json::TreeBuilder builder(text->size());
    _builder = &builder;
    Storage value;
    const bool read = scanValue(value) && scanIsAtEnd();
    _builder = nullptr;
    if (!read) {
        // Input that is not UTF-8 is refused as such, whatever else is wrong with it. A successful read has
        // checked every string and met no other byte above 127, so only a failure needs the whole check.
        if (!json::utf8::isValid(*text)) {
            clearErrorTrace();
            addErrorWithCode(code::NoInput, "Input is not valid UTF-8");
        }
        return std::nullopt;
    }
    return builder.finish(value);
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

bool QNJsonParser::scanValue(Storage& value) {
    skipWhitespace();
    const unsigned char b = peek();
    if (c < _end)
        ++c;
    switch (b) {
    case '[':
        return scanRestOfArray(value);
    case '{':
        return scanRestOfDictionary(value);
    case '"':
        return scanRestOfString(value);
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

bool QNJsonParser::scanRestOfNull(Storage& value) {
    if (!scanWord("ull", 3, "Expected 'null'"))
        return false;
    value = json::TreeBuilder::null();
    return true;
}

bool QNJsonParser::scanRestOfFalse(Storage& value) {
    if (!scanWord("alse", 4, "Expected 'false'"))
        return false;
    value = json::TreeBuilder::boolean(false);
    return true;
}

bool QNJsonParser::scanRestOfTrue(Storage& value) {
    if (!scanWord("rue", 3, "Expected 'true'"))
        return false;
    value = json::TreeBuilder::boolean(true);
    return true;
}

bool QNJsonParser::scanNumber(Storage& value) {
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
        value = json::TreeBuilder::number(mantissa, scale, negative);
        return true;
    }
    const auto decimal =
        json::Decimal::fromString(std::string_view(reinterpret_cast<const char*>(start), std::size_t(c - start)));
    if (!decimal) {
        addErrorWithCode(code::BadNumber, "Failed creating decimal instance");
        return false;
    }
    value = _builder->number(*decimal);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Strings

// Moves the read position to the next double quote, backslash or control byte (or the end) and checks that
// the ordinary bytes it passed are UTF-8. Outside strings any byte above 127 is a syntax error
// already; inside, it must be well-formed. Runs end at ASCII bytes, so no character straddles two runs.
bool QNJsonParser::scanRun() {
    const unsigned char* const run = c;
    std::uint64_t highBits = 0;
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i control = _mm_set1_epi8(0x1F);
    while (_end - c >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
        const __m128i below32 = _mm_cmpeq_epi8(_mm_min_epu8(v, control), v);
        const __m128i stop =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)), below32);
        const int found = _mm_movemask_epi8(stop);
        if (found) {
            const int before = __builtin_ctz(unsigned(found));
            highBits |= unsigned(_mm_movemask_epi8(v)) & ((1u << before) - 1);
            c += before;
            break;
        }
        highBits |= unsigned(_mm_movemask_epi8(v));
        c += 16;
    }
    if (_end - c < 16)
#endif
    {
        while (_end - c >= 8) {
            std::uint64_t word;
            std::memcpy(&word, c, 8);
            if (hasStopByte(word))
                break;
            highBits |= word & 0x8080808080808080ull;
            c += 8;
        }
        while (c < _end && !tables.stringStop[*c])
            highBits |= *c++ & 0x80u;
    }
    if (highBits &&
        !json::utf8::isValid(std::string_view(reinterpret_cast<const char*>(run), std::size_t(c - run)))) {
        addErrorWithCode(code::NoInput, "Input is not valid UTF-8");
        return false;
    }
    return true;
}

bool QNJsonParser::scanRestOfString(Storage& text) {
    const unsigned char* const run = c;
    if (!scanRun())
        return false;
    if (peek() == '"') {
        // No escapes, the common case: the text is taken as it stands.
        text = _builder->string(reinterpret_cast<const char*>(run), std::size_t(c - run), std::size_t(_end - run));
        ++c;
        return true;
    }
    return scanEscapedRest(run, text);
}

bool QNJsonParser::scanEscapedRest(const unsigned char* run, Storage& text) {
    std::string& unescaped = _unescaped;
    unescaped.clear();
    for (;;) {
        unescaped.append(reinterpret_cast<const char*>(run), std::size_t(c - run));
        const unsigned char b = peek();
        if (b == '"') {
            ++c;
            text = _builder->string(unescaped.data(), unescaped.size());
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
            unescaped.push_back(char(escape));
            break;
        case 'b':
            unescaped.push_back('\b');
            break;
        case 'f':
            unescaped.push_back('\f');
            break;
        case 'n':
            unescaped.push_back('\n');
            break;
        case 'r':
            unescaped.push_back('\r');
            break;
        case 't':
            unescaped.push_back('\t');
            break;
        case 'u':
            ++c;
            if (!scanUnicodeChar(unescaped)) {
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
        run = c;
        if (!scanRun())
            return false;
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

bool QNJsonParser::scanRestOfArray(Storage& value) {
    if (!enterLevel())
        return false;
    const std::size_t mark = _stack.size();
    while (peek() != 0) {
        skipWhitespace();
        if (peek() == ']') {
            ++c;
            leaveLevel();
            value = _builder->array(_stack.data() + mark, _stack.size() - mark);
            _stack.resize(mark);
            return true;
        }
        Storage element;
        if (!scanValue(element)) {
            addErrorWithCode(code::Syntax, "Expected value while parsing array");
            return false;
        }
        _stack.push_back(element);
        if (!scanSeparator(']', "Trailing comma disallowed in array"))
            return false;
    }
    addErrorWithCode(code::EndOfInput, "End of input while parsing array");
    return false;
}

bool QNJsonParser::scanRestOfDictionary(Storage& value) {
    if (!enterLevel())
        return false;
    const std::size_t mark = _stack.size();
    while (peek() != 0) {
        skipWhitespace();
        if (peek() == '}') {
            ++c;
            leaveLevel();
            value = _builder->object(_stack.data() + mark, (_stack.size() - mark) / 2);
            _stack.resize(mark);
            return true;
        }
        Storage key;
        if (peek() != '"') {
            addErrorWithCode(code::Syntax, "Object key string expected");
            return false;
        }
        ++c;
        if (!scanRestOfString(key)) {
            addErrorWithCode(code::Syntax, "Object key string expected");
            return false;
        }
        skipWhitespace();
        if (peek() != ':') {
            addErrorWithCode(code::Syntax, "Expected ':' separating key and value");
            return false;
        }
        ++c;
        Storage member;
        if (!scanValue(member)) {
            addErrorWithCode(code::Syntax,
                             "Object value expected for key: " + std::string(json::TreeBuilder::text(key)));
            return false;
        }
        _stack.push_back(key);
        _stack.push_back(member);
        if (!scanSeparator('}', "Trailing comma disallowed in object"))
            return false;
    }
    addErrorWithCode(code::EndOfInput, "End of input while parsing object");
    return false;
}

} // namespace grinsley
