#include <gtest/gtest.h>

#include "json/Decimal.h"

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
