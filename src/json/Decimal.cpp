#include "Decimal.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace grinsley::json {

namespace {

using u128 = Uint128;

// 10^38 - 1 is the largest 38-digit mantissa.
constexpr u128 pow10(int n) {
    u128 r = 1;
    for (int i = 0; i < n; ++i)
        r *= 10;
    return r;
}
constexpr u128 mantissaLimit = pow10(Decimal::maxDigits); // exclusive

int digitCount(u128 v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// Writes the digits of v so that they end at `end`; returns where they start. 64-bit steps where they do.
char* writeDigits(char* end, u128 v) {
    char* p = end;
    while (v >> 64) {
        *--p = char('0' + int(v % 10));
        v /= 10;
    }
    auto w = std::uint64_t(v);
    do {
        *--p = char('0' + int(w % 10));
        w /= 10;
    } while (w);
    return p;
}

} // namespace

Decimal::Decimal(std::int64_t value) {
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(0) - std::uint64_t(value) : std::uint64_t(value);
    *this = fromParts(magnitude, 0, negative);
}

Decimal Decimal::fromParts(u128 m, int exponent, bool negative) {
    Decimal d;
    if (m == 0)
        return d;
    // Normalise: strip trailing zeros so that equal values look alike and big exponents shrink; in 64 bits
    // where the mantissa fits, which is much cheaper.
    if (!(m >> 64)) {
        auto small = std::uint64_t(m);
        while (small % 10 == 0 && exponent < int(maxExponent)) {
            small /= 10;
            ++exponent;
        }
        m = small;
    }
    while (m % 10 == 0 && exponent < int(maxExponent)) {
        m /= 10;
        ++exponent;
    }
    // m * 10 could pass the top of 128 bits for a 38-digit mantissa: compare before multiplying.
    while (exponent > maxExponent && m < mantissaLimit / 10) {
        m *= 10;
        --exponent;
    }
    d._high = std::uint64_t(m >> 64);
    d._low = std::uint64_t(m);
    d._exponent = std::int16_t(exponent);
    d._negative = negative;
    return d;
}

std::optional<Decimal> Decimal::fromString(std::string_view text) {
    const char* c = text.data();
    const char* const end = c + text.size();
    bool negative = false;
    if (c < end && (*c == '-' || *c == '+')) {
        negative = *c == '-';
        ++c;
    }
    u128 m = 0;
    int digits = 0;        // significant digits kept in m
    long exponent = 0;     // adjustment from dropped integer digits and kept fraction digits
    int roundDigit = -1;   // first dropped digit
    bool sticky = false;   // any non-zero digit after it
    bool any = false;
    auto take = [&](int digit, bool fraction) {
        any = true;
        if (digits == 0 && digit == 0) {
            if (fraction)
                --exponent;
            return;
        }
        if (digits < maxDigits) {
            m = m * 10 + u128(digit);
            ++digits;
            if (fraction)
                --exponent;
        } else {
            if (roundDigit < 0)
                roundDigit = digit;
            else if (digit)
                sticky = true;
            if (!fraction)
                ++exponent;
        }
    };
    while (c < end && *c >= '0' && *c <= '9')
        take(*c++ - '0', false);
    if (c < end && *c == '.') {
        ++c;
        while (c < end && *c >= '0' && *c <= '9')
            take(*c++ - '0', true);
    }
    if (!any)
        return std::nullopt;
    if (c < end && (*c == 'e' || *c == 'E')) {
        ++c;
        bool expNegative = false;
        if (c < end && (*c == '-' || *c == '+'))
            expNegative = *c++ == '-';
        if (c == end || *c < '0' || *c > '9')
            return std::nullopt;
        long e = 0;
        while (c < end && *c >= '0' && *c <= '9') {
            if (e < 1000000) // saturate: far beyond any representable exponent
                e = e * 10 + (*c - '0');
            ++c;
        }
        exponent += expNegative ? -e : e;
    }
    if (c != end)
        return std::nullopt;
    // Bring a too small exponent into range by dropping digits; the rounding below then sees every dropped
    // digit at once (rounding after each one would carry 1.49 up to 2).
    while (exponent < minExponent) {
        sticky = sticky || roundDigit > 0;
        if (m == 0) { // everything is dropped already: what is left is far below half a unit
            roundDigit = 0;
            exponent = minExponent;
            break;
        }
        roundDigit = int(m % 10);
        m /= 10;
        ++exponent;
    }
    // Round half to even on the first dropped digit.
    if (roundDigit > 5 || (roundDigit == 5 && (sticky || (m & 1)))) {
        ++m;
        if (m == mantissaLimit) {
            m /= 10;
            ++exponent;
        }
    }
    if (m == 0)
        return Decimal();
    // A mantissa of up to 38 digits can absorb that many powers of ten; beyond that the value is too big.
    if (exponent > long(maxExponent) + maxDigits)
        return std::nullopt;
    const Decimal d = fromParts(m, int(exponent), negative);
    if (d._exponent > maxExponent)
        return std::nullopt;
    return d;
}

std::optional<Decimal> Decimal::fromDouble(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return fromString(std::string_view(buffer, std::size_t(result.ptr - buffer)));
}

bool Decimal::isInteger() const { return isZero() || _exponent >= 0; }

void Decimal::appendTo(std::string& out) const {
    if (isZero()) {
        out.push_back('0');
        return;
    }
    if (_negative)
        out.push_back('-');
    char buffer[40];
    char* const end = buffer + sizeof buffer;
    const char* const start = writeDigits(end, mantissa());
    const std::string_view digits(start, std::size_t(end - start));
    if (_exponent >= 0) {
        out.append(digits);
        out.append(std::size_t(_exponent), '0');
        return;
    }
    const std::size_t fraction = std::size_t(-_exponent);
    if (digits.size() > fraction) {
        out.append(digits.substr(0, digits.size() - fraction));
        out.push_back('.');
        out.append(digits.substr(digits.size() - fraction));
    } else {
        out.append("0.");
        out.append(fraction - digits.size(), '0');
        out.append(digits);
    }
}

std::string Decimal::toString() const {
    std::string s;
    appendTo(s);
    return s;
}

double Decimal::toDouble() const {
    const u128 m = mantissa();
    const double sign = isNegative() ? -1.0 : 1.0;
    // Exact when the mantissa and the power of ten are both exact doubles.
    static constexpr double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (m < (u128(1) << 53) && _exponent >= -22 && _exponent <= 22) {
        const double dm = double(std::uint64_t(m));
        return sign * (_exponent >= 0 ? dm * exact[_exponent] : dm / exact[-_exponent]);
    }
    char buffer[40];
    char* const end = buffer + sizeof buffer;
    const char* const start = writeDigits(end, m);
    std::string text(start, std::size_t(end - start));
    text += 'e';
    text += std::to_string(_exponent);
    return sign * std::strtod(text.c_str(), nullptr);
}

std::optional<std::int64_t> Decimal::toInt64() const {
    if (!isInteger())
        return std::nullopt;
    if (digitCount(mantissa()) + _exponent > 19)
        return std::nullopt;
    u128 v = mantissa();
    for (int i = 0; i < _exponent; ++i)
        v *= 10;
    const u128 limit = isNegative() ? u128(1) << 63 : (u128(1) << 63) - 1;
    if (v > limit)
        return std::nullopt;
    return isNegative() ? std::int64_t(0 - std::uint64_t(v)) : std::int64_t(std::uint64_t(v));
}

bool operator==(const Decimal& a, const Decimal& b) {
    if (a.isZero() || b.isZero())
        return a.isZero() && b.isZero();
    // Normalised on construction, so equal values have equal parts.
    return a._negative == b._negative && a._exponent == b._exponent && a._high == b._high && a._low == b._low;
}

} // namespace grinsley::json
