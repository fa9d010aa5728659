#include <gtest/gtest.h>

#include "json/QNJsonParser.h"

using namespace grinsley;
using json::Array;
using json::Object;
using json::Value;

namespace {

Value read(std::string_view text) {
    QNJsonParser parser;
    auto value = parser.fragmentWithString(text);
    EXPECT_TRUE(value) << text;
    return value ? std::move(*value) : Value();
}

constexpr const char* document =
    R"({"data":[{"id":"100000000000000_200000000000000","n":12345678901234567890123,"tags":[1,2.5,"x"]}],)"
    R"("short":"abc","empty":{},"list":[]})";

} // namespace

// Parts of a read tree share its memory; what is taken out of it must not depend on the tree staying alive.
TEST(Value, PartsCopiedOutOfAReadTreeOutliveIt) {
    Value id, big, tags, root;
    {
        const Value tree = read(document);
        const Value& post = tree.find("data")->array()[0];
        id = *post.find("id");
        big = *post.find("n");
        tags = *post.find("tags");
        Value moved = std::move(const_cast<Value&>(*post.find("tags"))); // a part can only be copied out
        EXPECT_EQ(moved, tags);
        root = tree;
    }
    EXPECT_EQ(id.string(), "100000000000000_200000000000000");
    EXPECT_EQ(big.number().toString(), "12345678901234567890123");
    EXPECT_EQ(tags, Value(Array{1, json::Decimal::fromString("2.5").value(), "x"}));
    EXPECT_EQ(root.find("short")->string(), "abc");
    EXPECT_TRUE(root.find("empty")->object().empty());
    EXPECT_TRUE(root.find("list")->array().empty());
}

TEST(Value, ReadTreesMoveAndNestInsideBuiltValues) {
    Value tree = read(document);
    const Value again = read(document);
    Value moved = std::move(tree);
    EXPECT_TRUE(tree.isNull());
    EXPECT_EQ(moved, again);
    // A whole read tree can become part of a built one, and be replaced there.
    Value built = Object{{"first", std::move(moved)}, {"second", again}};
    EXPECT_EQ(*built.find("first"), again);
    built = *built.find("second");
    EXPECT_EQ(built, again);
    built = read("[\"a long string that is not inline\"]");
    EXPECT_EQ(built.array()[0].string(), "a long string that is not inline");
}

TEST(Value, TextAndNumbersAtTheInlineLimits) {
    for (std::size_t n = 0; n <= 40; ++n) {
        const std::string text = std::string("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH").substr(0, n);
        const Value built(text);
        EXPECT_EQ(built.string(), text);
        EXPECT_EQ(Value(built).string(), text);
        // Read at the very end of the input and with more text after it (read by whole words).
        EXPECT_EQ(read("\"" + text + "\""), built);
        const Value padded = read("[\"" + text + "\", \"more text after it, past sixteen bytes\"]");
        EXPECT_EQ(padded.array()[0].string(), text);
    }
    const Value big = read("[18446744073709551615, 18446744073709551616, -0.000]");
    EXPECT_EQ(big.array()[0].number().toString(), "18446744073709551615");
    EXPECT_EQ(big.array()[1].number().toString(), "18446744073709551616");
    EXPECT_TRUE(big.array()[2].number().isZero());
    EXPECT_EQ(Value(big), big);
}

TEST(Value, AccessToAnotherKindIsHarmless) {
    const Value number(3);
    EXPECT_EQ(number.string(), "");
    EXPECT_TRUE(number.array().empty());
    EXPECT_TRUE(number.object().empty());
    EXPECT_EQ(number.find("x"), nullptr);
    EXPECT_FALSE(number.boolean());
    EXPECT_TRUE(Value("x").number().isZero());
}

TEST(Value, EqualityIgnoresKeyOrderButNotValues) {
    EXPECT_EQ(read(R"({"a":1,"b":[true,null]})"), (Object{{"b", Array{true, nullptr}}, {"a", 1}}));
    EXPECT_NE(read(R"({"a":1,"b":2})"), (Object{{"a", 1}, {"c", 2}}));
    EXPECT_NE(read("[1,2]"), Value(Array{2, 1}));
    EXPECT_EQ(read("1.0"), Value(1));
    EXPECT_NE(Value(json::Unsupported{"Date"}), Value("Date"));
}

TEST(Value, ObjectBuilderKeepsFirstPlaceAndLastValue) {
    Object o{{"a", 1}, {"b", 2}, {"a", 3}};
    o.set("c", 4);
    EXPECT_TRUE(o.remove("b"));
    EXPECT_FALSE(o.remove("b"));
    const Value v = std::move(o);
    ASSERT_EQ(v.object().size(), 2u);
    EXPECT_EQ(v.object()[0].key(), "a");
    EXPECT_EQ(v.object()[0].value, Value(3));
    EXPECT_EQ(v.object()[1].key(), "c");
}

TEST(Value, RepeatedKeysAmongNewOnesInALargeObject) {
    // Each key twice in a row, so later members shift down past the removed repeats.
    std::string text = "{";
    for (int i = 0; i < 40; ++i)
        text += "\"key" + std::to_string(i / 2) + "\":" + std::to_string(i) + ",";
    text.back() = '}';
    const Value v = read(text);
    ASSERT_EQ(v.object().size(), 20u);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(v.object()[std::size_t(k)].key(), "key" + std::to_string(k));
        EXPECT_EQ(v.object()[std::size_t(k)].value, Value(2 * k + 1));
    }
}
