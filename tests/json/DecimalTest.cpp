#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "json/Decimal.h"
#include "json/JsonConvenience.h"
#include "json/JsonValue.h"

using grinsley::json::Decimal;

TEST(Decimal, PlainTextIsExactAndNeverUsesAnExponent) {
    auto text = [](const char* s) { return Decimal::fromString(s)->toString(); };
    EXPECT_EQ(text("0"), "0");
    EXPECT_EQ(text("-0"), "0");
    EXPECT_EQ(text("1.50"), "1.5");
    EXPECT_EQ(text("1e5"), "100000");
    EXPECT_EQ(text("-1.5e-3"), "-0.0015");
    EXPECT_EQ(text("123.456e1"), "1234.56");
    EXPECT_EQ(text("98765432109876543210"), "98765432109876543210");
    EXPECT_EQ(text("1e127"), "1" + std::string(127, '0'));
    EXPECT_EQ(text("1e130"), "1" + std::string(130, '0')); // the mantissa absorbs what the exponent cannot
}

TEST(Decimal, MoreThanThirtyEightDigitsRoundHalfToEven) {
    EXPECT_EQ(Decimal::fromString("123456789012345678901234567890123456785")->toString(),
              "123456789012345678901234567890123456780");
    EXPECT_EQ(Decimal::fromString("123456789012345678901234567890123456775")->toString(),
              "123456789012345678901234567890123456780");
    EXPECT_EQ(Decimal::fromString("1234567890123456789012345678901234567751")->toString(),
              "1234567890123456789012345678901234567800");
    EXPECT_EQ(Decimal::fromString("99999999999999999999999999999999999999.5")->toString(),
              "100000000000000000000000000000000000000");
}

TEST(Decimal, RangeLimits) {
    EXPECT_FALSE(Decimal::fromString("1e200"));
    EXPECT_FALSE(Decimal::fromString("1e99999999999"));
    EXPECT_TRUE(Decimal::fromString("1e-128"));
    EXPECT_TRUE(Decimal::fromString("0e99999")); // zero is zero at any scale
    EXPECT_EQ(Decimal::fromString("1e-300")->toString(), "0"); // too small: rounds to zero
    EXPECT_FALSE(Decimal::fromString(""));
    EXPECT_FALSE(Decimal::fromString("1x"));
    EXPECT_FALSE(Decimal::fromString("e5"));
}

// Just past the top, scaling a 38-digit mantissa up must not wrap around 128 bits into a wrong number.
TEST(Decimal, JustBeyondTheTopIsRefused) {
    for (const char* text : {"4e165", "6.9e166", "-3.41e165", "1e165", "34028236692093846346337460743176821146e128"})
        EXPECT_FALSE(Decimal::fromString(text)) << text;
    EXPECT_FALSE(Decimal::fromDouble(4e165));
    EXPECT_EQ(Decimal::fromString("9e164")->toString(), "9" + std::string(164, '0'));
    EXPECT_TRUE(Decimal::fromString("9.9999999999999999999999999999999999999e164"));
}

// Just below the bottom, the dropped digits round once, half to even, never digit by digit.
TEST(Decimal, JustBelowTheBottomRoundsOnce) {
    const auto same = [](const char* a, const char* b) { return *Decimal::fromString(a) == *Decimal::fromString(b); };
    EXPECT_TRUE(same("1.49e-128", "1e-128"));
    EXPECT_TRUE(same("1.5e-128", "2e-128"));
    EXPECT_TRUE(same("2.5e-128", "2e-128"));
    EXPECT_TRUE(same("2.51e-128", "3e-128"));
    EXPECT_TRUE(same("1.449999e-127", "1.4e-127"));
    EXPECT_TRUE(same("5.1e-129", "1e-128"));
    EXPECT_EQ(Decimal::fromString("5e-129")->toString(), "0");
    EXPECT_EQ(Decimal::fromString("4.9999e-129")->toString(), "0");
    EXPECT_EQ(Decimal::fromString("1e-999999")->toString(), "0");
}

TEST(Decimal, ViewsAndEquality) {
    EXPECT_EQ(*Decimal::fromString("100"), Decimal(100));
    EXPECT_EQ(*Decimal::fromString("1.0"), Decimal(1));
    EXPECT_FALSE(*Decimal::fromString("1.01") == Decimal(1));
    EXPECT_EQ(*Decimal::fromString("-0"), Decimal(0));
    EXPECT_EQ(Decimal::fromString("1e18")->toInt64(), 1000000000000000000);
    EXPECT_EQ(Decimal::fromString("-9223372036854775808")->toInt64(), INT64_MIN);
    EXPECT_FALSE(Decimal::fromString("9223372036854775808")->toInt64());
    EXPECT_FALSE(Decimal::fromString("1.5")->toInt64());
    EXPECT_DOUBLE_EQ(Decimal::fromString("-1.5e-3")->toDouble(), -0.0015);
    EXPECT_DOUBLE_EQ(Decimal::fromString("12345678901234567890123")->toDouble(), 1.2345678901234567890123e22);
    EXPECT_EQ(Decimal::fromDouble(0.1)->toString(), "0.1");
    EXPECT_FALSE(Decimal::fromDouble(1.0 / 0.0));
    EXPECT_EQ(Decimal(-42).toString(), "-42");
    EXPECT_TRUE(Decimal(-42).isInteger());
}

namespace {

// The reference: the value of a digit string times a power of ten, worked out on the digits themselves.
struct Exact {
    std::string digits; // no leading zeros; empty for zero
    long exponent = 0;
};

// Keeps all but the last `drop` digits, rounding half to even on everything dropped.
Exact roundedOff(const Exact& x, long drop) {
    if (drop <= 0)
        return x;
    const long n = long(x.digits.size());
    Exact out{{}, x.exponent + drop};
    if (drop > n)
        return out; // below half of the last kept place: zero
    std::string kept = x.digits.substr(0, size_t(n - drop));
    const std::string dropped = x.digits.substr(size_t(n - drop));
    const bool half = dropped[0] == '5' && dropped.find_first_not_of('0', 1) == std::string::npos;
    const bool up = dropped[0] > '5' || (dropped[0] == '5' && !half) ||
                    (half && !kept.empty() && (kept.back() - '0') % 2 == 1);
    if (up) {
        long i = long(kept.size()) - 1;
        while (i >= 0 && kept[size_t(i)] == '9')
            kept[size_t(i--)] = '0';
        if (i < 0)
            kept.insert(kept.begin(), '1');
        else
            ++kept[size_t(i)];
    }
    out.digits = kept;
    return out;
}

// What the reader must give for digits x 10^exponent: nullopt past the top.
std::optional<Decimal> expected(Exact x, bool negative) {
    while (!x.digits.empty() && x.digits[0] == '0')
        x.digits.erase(0, 1);
    if (x.digits.empty())
        return Decimal(0);
    const long drop = std::max({long(x.digits.size()) - Decimal::maxDigits, Decimal::minExponent - x.exponent, 0L});
    x = roundedOff(x, drop);
    while (x.digits.size() > size_t(Decimal::maxDigits) && x.digits.back() == '0') { // a carry added a digit
        x.digits.pop_back();
        ++x.exponent;
    }
    if (x.digits.empty())
        return Decimal(0);
    // Past the top exponent the mantissa takes the zeros, as long as it stays within 38 digits.
    while (x.exponent > Decimal::maxExponent && x.digits.size() < size_t(Decimal::maxDigits)) {
        x.digits += '0';
        --x.exponent;
    }
    if (x.exponent > Decimal::maxExponent)
        return std::nullopt;
    grinsley::json::Uint128 mantissa = 0;
    for (char c : x.digits)
        mantissa = mantissa * 10 + grinsley::json::Uint128(c - '0');
    return Decimal::fromParts(mantissa, int(x.exponent), negative);
}

} // namespace

// Random numbers near both ends of the range, read as text, as a JSON fragment and inside an array, against
// exact arithmetic on their digits: wrong values, a second rounding or a wrap past 128 bits all show.
TEST(Decimal, RandomNumbersNearTheEndsMatchExactArithmetic) {
    std::mt19937_64 random(20261208);
    const auto pick = [&](long low, long high) { return std::uniform_int_distribution<long>(low, high)(random); };
    for (int i = 0; i < 40000; ++i) {
        const long count = pick(1, 48);
        std::string digits;
        for (long d = 0; d < count; ++d)
            digits += char('0' + pick(d == 0 ? 1 : 0, 9));
        if (count > 2 && pick(0, 3) == 0) // a tie somewhere: a 5 and zeros after it
            digits.replace(size_t(pick(1, count - 1)), std::string::npos, "5").resize(size_t(count), '0');
        // value = digits x 10^exponent, the first digit landing near the top or near the bottom
        const long magnitude = pick(0, 1) ? pick(160, 170) : pick(-135, -124);
        const long exponent = magnitude - count + 1;
        const bool negative = pick(0, 1);
        // Written with the point somewhere in the digits and the exponent moved to match.
        const long point = pick(1, count);
        std::string text = (negative ? "-" : "") + digits.substr(0, size_t(point));
        if (point < count)
            text += "." + digits.substr(size_t(point));
        text += "e" + std::to_string(exponent + (count - point));

        const std::optional<Decimal> want = expected({digits, exponent}, negative);
        const std::optional<Decimal> got = Decimal::fromString(text);
        ASSERT_EQ(got.has_value(), want.has_value()) << text;
        if (want) {
            ASSERT_TRUE(*got == *want) << text << " read as " << got->toString() << ", not " << want->toString();
        }
        const std::optional<grinsley::json::Value> inArray = grinsley::json::JSONValue("[" + text + "]");
        ASSERT_EQ(inArray.has_value(), want.has_value()) << text;
        if (want) {
            ASSERT_TRUE(inArray->array()[0].number() == *want) << text;
        }
    }
}
