#include <gtest/gtest.h>

#include "json/JsonConvenience.h"
#include "json/QNJSON.h"
#include "json/QNJsonParser.h"
#include "json/QNJsonWriter.h"

using namespace grinsley;
using json::Array;
using json::Object;
using json::Value;

namespace {

Value sample() { return Object{{"b", Array{1, 2}}, {"a", nullptr}}; }

TEST(Writer, EmptyContainersInBothModes) {
    QNJsonWriter writer;
    for (bool readable : {false, true}) {
        writer.setHumanReadable(readable);
        EXPECT_EQ(*writer.stringWithObject(Object{}), "{}");
        EXPECT_EQ(*writer.stringWithObject(Array{}), "[]");
    }
}

TEST(Writer, SortedAndIndented) {
    QNJsonWriter writer;
    writer.setSortKeys(true);
    writer.setHumanReadable(true);
    EXPECT_EQ(*writer.stringWithObject(sample()), "{\n  \"a\" : null,\n  \"b\" : [\n    1,\n    2\n  ]\n}");
    writer.setHumanReadable(false);
    EXPECT_EQ(*writer.stringWithObject(sample()), "{\"a\":null,\"b\":[1,2]}");
    writer.setSortKeys(false);
    EXPECT_EQ(*writer.stringWithObject(sample()), "{\"b\":[1,2],\"a\":null}"); // insertion order
}

TEST(Writer, SortingIsByUtf16CodeUnits) {
    QNJsonWriter writer;
    writer.setSortKeys(true);
    // U+1F600 (a surrogate pair) sorts before U+FF21 in UTF-16, though after it by code point.
    const Value v = Object{{"\xEF\xBC\xA1", 1}, {"\xF0\x9F\x98\x80", 2}, {"B", 3}, {"a", 4}};
    EXPECT_EQ(*writer.stringWithObject(v), "{\"B\":3,\"a\":4,\"\xF0\x9F\x98\x80\":2,\"\xEF\xBC\xA1\":1}");
}

TEST(Writer, EscapesOnlyWhatMustBe) {
    QNJsonWriter writer;
    EXPECT_EQ(*writer.stringWithFragment(Value("a\tb\x01/\"\\\b\f\n\r\x1f caf\xC3\xA9")),
              "\"a\\tb\\u0001/\\\"\\\\\\b\\f\\n\\r\\u001f caf\xC3\xA9\"");
    EXPECT_EQ(*writer.stringWithFragment(Value(std::string("a\0b", 3))), "\"a\\u0000b\"");
}

TEST(Writer, ScalarsAndTheirErrors) {
    QNJsonWriter writer;
    EXPECT_EQ(*writer.stringWithFragment(true), "true");
    EXPECT_EQ(*writer.stringWithFragment(false), "false");
    EXPECT_EQ(*writer.stringWithFragment(Value(*json::Decimal::fromString("-1.5e-3"))), "-0.0015");
    EXPECT_EQ(*writer.stringWithFragment(Value()), "null");
    EXPECT_FALSE(writer.stringWithObject(Value(3)));
    ASSERT_EQ(writer.errorTrace().size(), 1u);
    EXPECT_EQ(writer.errorTrace()[0]->code, 4);
    EXPECT_EQ(writer.errorTrace()[0]->localizedDescription, "Not valid type for JSON");
    EXPECT_EQ(*writer.stringWithFragment(Value(3)), "3");
}

TEST(Writer, UnsupportedValuesFailWithTheirPlace) {
    QNJsonWriter writer;
    const Value date = json::Unsupported{"Date"};
    EXPECT_FALSE(writer.stringWithObject(Array{1, date}));
    ASSERT_EQ(writer.errorTrace().size(), 1u);
    EXPECT_EQ(writer.errorTrace()[0]->code, 1);
    EXPECT_EQ(writer.errorTrace()[0]->localizedDescription, "JSON serialisation not supported for Date");
    EXPECT_FALSE(writer.stringWithObject(Object{{"when", Array{date}}}));
    const auto trace = writer.errorTrace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[1]->localizedDescription, "Unsupported value for key when in object");
    EXPECT_EQ(trace[1]->underlying, trace[0]);
}

TEST(Writer, DepthLimit) {
    QNJsonWriter writer;
    auto nest = [](int levels) {
        Value v = Array{};
        for (int i = 1; i < levels; ++i)
            v = Array{std::move(v)};
        return v;
    };
    EXPECT_TRUE(writer.stringWithObject(nest(512)));
    EXPECT_FALSE(writer.stringWithObject(nest(513)));
    EXPECT_EQ(writer.errorTrace().front()->code, 7);
    writer.setMaxDepth(0);
    EXPECT_TRUE(writer.stringWithObject(nest(1000)));
}

TEST(Writer, RoundTripsWhatTheReaderReads) {
    const std::string text =
        R"({"id":"1234567890","n":12345678901234567890123456789012345678,"f":-0.00015,"ok":true,)"
        R"("none":null,"list":[{"name":"Zo\u00eb \"Z\"","tags":["a","b\n"]},[],{}],"url":"http://x/y"})";
    QNJsonParser parser;
    const auto value = parser.objectWithString(text);
    ASSERT_TRUE(value);
    QNJsonWriter writer;
    const auto written = writer.stringWithObject(*value);
    ASSERT_TRUE(written);
    EXPECT_EQ(*parser.objectWithString(*written), *value);
    writer.setHumanReadable(true);
    EXPECT_EQ(*parser.objectWithString(*writer.stringWithObject(*value)), *value);
}

TEST(Facade, WriterSideAndOptions) {
    QNJSON json;
    json.setSortKeys(true);
    EXPECT_TRUE(json.sortKeys());
    EXPECT_EQ(*json.stringWithObject(sample()), "{\"a\":null,\"b\":[1,2]}");
    std::shared_ptr<const json::Error> error;
    EXPECT_FALSE(json.stringWithObject(Value(true), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 4);
    EXPECT_EQ(*json.stringWithFragment(Value(true), &error), "true");
    json.setHumanReadable(true);
    EXPECT_EQ(*json.stringWithObject(Array{1}), "[\n  1\n]");
}

TEST(Convenience, WritesAndLogsFailures) {
    std::vector<std::string> lines;
    json::setLogHandler([&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(*json::JSONRepresentation(Array{1, "x"}), "[1,\"x\"]");
    EXPECT_FALSE(json::JSONRepresentation(Value(1)));
    EXPECT_EQ(*json::JSONFragment(Value(1)), "1");
    EXPECT_FALSE(json::JSONFragment(Value(json::Unsupported{"Date"})));
    json::setLogHandler({});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("-JSONRepresentation failed. Error trace is: ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("-JSONFragment failed. Error trace is: ", 0), 0u);
}

} // namespace
