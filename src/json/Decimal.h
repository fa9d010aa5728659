#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace grinsley::json {

// GCC and Clang's 128-bit integer holds a 38-digit mantissa.
__extension__ typedef unsigned __int128 Uint128;

// A decimal number: up to 38 significant decimal digits held exactly, times a power of ten between
// 10^minExponent and 10^maxExponent. Numbers read from JSON keep the exact value of their text.
class Decimal {
public:
    static constexpr int maxDigits = 38;
    static constexpr int minExponent = -128;
    static constexpr int maxExponent = 127;

    constexpr Decimal() = default;
    Decimal(std::int64_t value);
    Decimal(int value) : Decimal(std::int64_t(value)) {}

    // The exact value of JSON number text (or any text of that shape); nullopt when it is not a number or is
    // outside the exponent range. More than 38 significant digits are rounded half to even.
    static std::optional<Decimal> fromString(std::string_view text);
    // The shortest text that reads back as the same double; nullopt for infinities and NaN.
    static std::optional<Decimal> fromDouble(double value);

    bool isZero() const { return _high == 0 && _low == 0; }
    bool isNegative() const { return _negative && !isZero(); }
    bool isInteger() const;

    // Plain decimal text, never an exponent: "100000", "-0.0015", "0".
    std::string toString() const;
    void appendTo(std::string& out) const;
    double toDouble() const;
    // The value when it is a whole number that fits.
    std::optional<std::int64_t> toInt64() const;

    // Equal values compare equal whatever their representation (1.0 and 1 are equal).
    friend bool operator==(const Decimal& a, const Decimal& b);

    // The raw parts, for the reader's fast path: value = (-1)^negative * mantissa * 10^exponent.
    static Decimal fromParts(Uint128 mantissa, int exponent, bool negative);
    Uint128 mantissa() const { return (static_cast<Uint128>(_high) << 64) | _low; }
    int exponent() const { return _exponent; }
    bool negative() const { return _negative; }

private:
    // Kept as two words so a Decimal has 8-byte alignment and values stay small.
    std::uint64_t _high = 0;
    std::uint64_t _low = 0;
    std::int16_t _exponent = 0;
    bool _negative = false;
};

} // namespace grinsley::json
