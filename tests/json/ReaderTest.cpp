#include <string>

#include <gtest/gtest.h>

#include "json/JsonConvenience.h"
#include "json/QNJSON.h"
#include "json/QNJsonParser.h"

using namespace grinsley;
using json::Value;

namespace {

// The messages of the last failure, innermost first.
std::vector<std::string> messages(const QNJsonBase& base) {
    std::vector<std::string> out;
    for (const auto& e : base.errorTrace())
        out.push_back(e->localizedDescription);
    return out;
}

int lastCode(const QNJsonBase& base) {
    const auto trace = base.errorTrace();
    return trace.empty() ? 0 : trace.back()->code;
}

struct Failure {
    std::string input;
    int code;
    std::vector<std::string> trace;
};

void PrintTo(const Failure& f, std::ostream* os) { *os << '`' << f.input << '`'; }

std::string caseName(const ::testing::TestParamInfo<Failure>& info) { return "case" + std::to_string(info.index); }

class ReaderFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(ReaderFailure, GivesTheExactTrace) {
    QNJsonParser parser;
    const Failure& f = GetParam();
    EXPECT_FALSE(parser.fragmentWithString(f.input)) << f.input;
    EXPECT_EQ(lastCode(parser), f.code) << f.input;
    EXPECT_EQ(messages(parser), f.trace) << f.input;
}

const std::string nested = "Expected value while parsing array";

INSTANTIATE_TEST_SUITE_P(
    Numbers, ReaderFailure,
    ::testing::Values(Failure{"01", 2, {"Leading 0 disallowed in number"}},
                      Failure{"+1", 2, {"Leading + disallowed in number"}},
                      Failure{"-", 2, {"No digits after initial minus"}},
                      Failure{"-x", 2, {"No digits after initial minus"}},
                      Failure{"1.", 2, {"No digits after decimal point"}},
                      Failure{"1e", 2, {"No digits after exponent"}},
                      Failure{"1e+", 2, {"No digits after exponent"}},
                      Failure{".5", 3, {"Unrecognised leading character"}},
                      Failure{"[-01]", 3, {"Leading 0 disallowed in number", nested}},
                      Failure{"1e999", 2, {"Failed creating decimal instance"}},
                      Failure{"4e165", 2, {"Failed creating decimal instance"}},
                      Failure{"-3.41e165", 2, {"Failed creating decimal instance"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Strings, ReaderFailure,
    ::testing::Values(Failure{"\"a\tb\"", 5, {"Unescaped control character '0x9'"}},
                      Failure{"\"never closed", 5, {"Unescaped control character '0x0'"}},
                      Failure{"\"ends after an escape\\n", 11, {"Unexpected EOF while parsing string"}},
                      Failure{"\"\\x\"", 8, {"Illegal escape sequence '0x78'"}},
                      Failure{"\"\\", 8, {"Illegal escape sequence '0x0'"}},
                      Failure{"\"\\udc00\"", 6, {"Invalid high character in surrogate pair", "Broken unicode character"}},
                      Failure{"\"\\ud83d\"", 6, {"Missing low character in surrogate pair", "Broken unicode character"}},
                      Failure{"\"\\ud83d\\u0041\"", 6, {"Invalid low surrogate char", "Broken unicode character"}},
                      Failure{"\"\\ud83d\\uzz00\"",
                              6,
                              {"Missing hex digit in quad", "Missing low character in surrogate pair",
                               "Broken unicode character"}},
                      Failure{"\"\\u12g4\"",
                              6,
                              {"Missing hex digit in quad", "Missing hex quad", "Broken unicode character"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Structure, ReaderFailure,
    ::testing::Values(Failure{"", 11, {"Unexpected end of string"}},
                      Failure{"   ", 11, {"Unexpected end of string"}},
                      Failure{"[1,]", 9, {"Trailing comma disallowed in array"}},
                      Failure{"[,1]", 3, {"Unrecognised leading character", nested}},
                      Failure{"{\"a\":1,}", 9, {"Trailing comma disallowed in object"}},
                      Failure{"{\"a\":}", 3, {"Unrecognised leading character", "Object value expected for key: a"}},
                      Failure{"{a:1}", 3, {"Object key string expected"}},
                      Failure{"{\"a\\x\":1}", 3, {"Illegal escape sequence '0x78'", "Object key string expected"}},
                      Failure{"{\"a\" 1}", 3, {"Expected ':' separating key and value"}},
                      Failure{"[1", 11, {"End of input while parsing array"}},
                      Failure{"{\"a\":1", 11, {"End of input while parsing object"}},
                      Failure{"[ ", 3, {"Unexpected end of string", nested}},
                      Failure{"nul", 3, {"Expected 'null'"}},
                      Failure{"[tru]", 3, {"Expected 'true'", nested}},
                      Failure{"fals", 3, {"Expected 'false'"}},
                      Failure{"nullx", 10, {"Garbage after JSON"}},
                      Failure{"[1] [2]", 10, {"Garbage after JSON"}},
                      // A zero byte ends the text as far as JSON goes; what follows it is not silently dropped.
                      Failure{std::string("[1]\0[2]", 7), 10, {"Garbage after JSON"}},
                      Failure{std::string("[1\0]", 4), 11, {"End of input while parsing array"}},
                      Failure{"[[[{\"k\":[x]}]]]",
                              3,
                              {"Unrecognised leading character", nested, "Object value expected for key: k", nested,
                               nested, nested}}),
    caseName);

TEST(Reader, AcceptsNumbersInEveryAllowedShape) {
    QNJsonParser parser;
    for (const char* text : {"0", "-0", "0.5", "1e5", "1E+5", "-1.5e-3", "123456789012345678901234567890"}) {
        const auto value = parser.fragmentWithString(text);
        ASSERT_TRUE(value) << text;
        EXPECT_TRUE(value->isNumber()) << text;
    }
    EXPECT_EQ(parser.fragmentWithString("-1.5e-3")->number().toString(), "-0.0015");
    EXPECT_EQ(parser.fragmentWithString("1E+5")->number().toString(), "100000");
    // 38 significant digits survive exactly, beyond the reach of a double.
    EXPECT_EQ(parser.fragmentWithString("12345678901234567890123456789012345678")->number().toString(),
              "12345678901234567890123456789012345678");
    EXPECT_EQ(parser.fragmentWithString("0.00000000000000000001234567890123456789")->number().toString(),
              "0.00000000000000000001234567890123456789");
}

TEST(Reader, OnlyObjectsAndArraysAtTheTopOfObjectWithString) {
    QNJsonParser parser;
    EXPECT_FALSE(parser.objectWithString("true"));
    EXPECT_EQ(lastCode(parser), 4);
    EXPECT_EQ(messages(parser), std::vector<std::string>{"Valid fragment, but not JSON"});
    ASSERT_TRUE(parser.fragmentWithString("true"));
    EXPECT_EQ(*parser.fragmentWithString("true"), Value(true));
    EXPECT_TRUE(parser.errorTrace().empty()); // each read starts a fresh trace
    EXPECT_EQ(*parser.fragmentWithString("null"), Value());
    EXPECT_FALSE(parser.objectWithString(std::nullopt));
    EXPECT_EQ(messages(parser), std::vector<std::string>{"Input was 'nil'"});
    EXPECT_EQ(lastCode(parser), 12);
}

TEST(Reader, CommasAreOptionalAndTheLastKeyWins) {
    QNJsonParser parser;
    const auto list = parser.objectWithString("[1 2 3]");
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, Value(json::Array{1, 2, 3}));
    const auto object = parser.objectWithString("{\"a\":1 \"b\":2}");
    ASSERT_TRUE(object);
    EXPECT_EQ(object->object().size(), 2u);
    const auto repeated = parser.objectWithString("{\"a\":1,\"b\":true,\"a\":2}");
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->object().size(), 2u);
    EXPECT_EQ(*repeated->find("a"), Value(2));
    EXPECT_EQ(repeated->object()[0].key(), "a");
    // Many keys, past the pairwise check, with repeats.
    std::string big = "{";
    for (int i = 0; i < 100; ++i)
        big += "\"k" + std::to_string(i % 40) + "\":" + std::to_string(i) + ",";
    big.back() = '}';
    const auto many = parser.objectWithString(big);
    ASSERT_TRUE(many);
    EXPECT_EQ(many->object().size(), 40u);
    EXPECT_EQ(*many->find("k3"), Value(83));
}

TEST(Reader, WhitespaceIncludesVerticalTabAndFormFeed) {
    QNJsonParser parser;
    EXPECT_TRUE(parser.objectWithString("  [ ]  "));
    EXPECT_TRUE(parser.objectWithString("\v[\f1\r\n,\t2]\v"));
    EXPECT_FALSE(parser.objectWithString("\xC2\xA0[]")); // a no-break space is no JSON whitespace
}

TEST(Reader, EscapesBecomeTheirCharacters) {
    QNJsonParser parser;
    EXPECT_EQ(parser.fragmentWithString("\"\\u00e9\"")->string(), "\xC3\xA9");
    EXPECT_EQ(parser.fragmentWithString("\"\\ud83d\\ude00\"")->string(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(parser.fragmentWithString("\"\\u00E9\\u4E2D\"")->string(), "\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(parser.fragmentWithString(R"("\"\\\/\b\f\n\r\t")")->string(), "\"\\/\b\f\n\r\t");
    EXPECT_EQ(parser.fragmentWithString("\"caf\xC3\xA9 \\n x\"")->string(), "caf\xC3\xA9 \n x");
    EXPECT_EQ(parser.fragmentWithString("\"a\\u0000b\"")->string(), std::string("a\0b", 3));
}

TEST(Reader, RefusesTextThatIsNotUtf8) {
    QNJsonParser parser;
    // Wherever the bad bytes are, and whatever else is wrong, the one error is the encoding's.
    for (const char* bad :
         {"[\"\xFF\"]", "[\"\xC3\"]", "[\"\xED\xA0\x80\"]", "[\"\xC0\xAF\"]", "[\"\xF4\x90\x80\x80\"]",
          "[\"ab\xFF\", \"a second string, well past sixteen bytes\"]",
          "[\"x\\n\xFF after an escape, with enough text to scan in blocks\"]", "[1]\xFF", "[1, \xFF]",
          "{\"a\" 1 \xC3", "[\"unclosed \xFF"}) {
        EXPECT_FALSE(parser.objectWithString(bad)) << bad;
        EXPECT_EQ(messages(parser), std::vector<std::string>{"Input is not valid UTF-8"}) << bad;
        EXPECT_EQ(lastCode(parser), 12);
    }
    EXPECT_TRUE(parser.objectWithString("[\"\xF0\x9F\x98\x80\xE2\x82\xAC long enough for whole words\"]"));
    // Well-formed characters outside strings are still just bad syntax.
    EXPECT_FALSE(parser.objectWithString("[\xC3\xA9]"));
    EXPECT_EQ(messages(parser),
              (std::vector<std::string>{"Unrecognised leading character", "Expected value while parsing array"}));
}

TEST(Reader, RefusesInputTooLongToHold) {
    QNJsonParser parser;
    // Refused before a byte is read, so the view's bytes need not exist.
    const char byte = '[';
    EXPECT_FALSE(parser.objectWithString(std::string_view(&byte, json::Value::maxSize + 1)));
    EXPECT_EQ(parser.errorTrace().front()->localizedDescription, "Input is too long");
}

TEST(Reader, DepthLimit) {
    QNJsonParser parser;
    auto nest = [](int levels) { return std::string(std::size_t(levels), '[') + std::string(std::size_t(levels), ']'); };
    EXPECT_TRUE(parser.objectWithString(nest(512)));
    EXPECT_FALSE(parser.objectWithString(nest(513)));
    EXPECT_EQ(parser.errorTrace().front()->localizedDescription, "Nested too deep");
    EXPECT_EQ(parser.errorTrace().front()->code, 7);
    EXPECT_EQ(parser.errorTrace().size(), 513u); // one per enclosing array
    // Objects count as levels too, and the depth is back to 0 for the next read.
    std::string objects;
    for (int i = 0; i < 600; ++i)
        objects += "{\"a\":";
    objects += "1" + std::string(600, '}');
    EXPECT_FALSE(parser.objectWithString(objects));
    EXPECT_TRUE(parser.objectWithString(nest(3)));
    // No limit reads deep input, up to the stack's safety ceiling, which fails cleanly instead of crashing.
    parser.setMaxDepth(0);
    EXPECT_TRUE(parser.objectWithString(nest(2000)));
    EXPECT_FALSE(parser.objectWithString(nest(100000)));
    EXPECT_EQ(parser.errorTrace().front()->localizedDescription, "Nested too deep");
}

TEST(Reader, TraceLinksEachErrorToTheOneBefore) {
    QNJsonParser parser;
    EXPECT_FALSE(parser.objectWithString("{\"a\":}"));
    const auto trace = parser.errorTrace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0]->underlying, nullptr);
    EXPECT_EQ(trace[1]->underlying, trace[0]);
    EXPECT_EQ(trace[1]->domain, "org.quorvanet.JSON.ErrorDomain");
    parser.clearErrorTrace();
    EXPECT_TRUE(parser.errorTrace().empty());
}

TEST(Facade, KeepsTheReadersTraceAndGivesTheOutermostError) {
    QNJSON json;
    EXPECT_EQ(json.maxDepth(), 512u);
    std::shared_ptr<const json::Error> error;
    EXPECT_FALSE(json.objectWithString("{\"a\":}", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription, "Object value expected for key: a");
    EXPECT_EQ(error->underlying->localizedDescription, "Unrecognised leading character");
    EXPECT_EQ(json.errorTrace().size(), 2u);
    // A success leaves the facade's copy of the last failure alone.
    EXPECT_TRUE(json.objectWithString("[]"));
    EXPECT_EQ(json.errorTrace().size(), 2u);
    EXPECT_TRUE(json.fragmentWithString("1", &error));
    EXPECT_FALSE(json.objectWithString("1", nullptr));
    EXPECT_EQ(json.errorTrace().back()->code, 4);
    json.setMaxDepth(1);
    EXPECT_FALSE(json.objectWithString("[[]]"));
}

TEST(Convenience, LogsTheTraceOnFailure) {
    std::vector<std::string> lines;
    json::setLogHandler([&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(json::JSONValue("{\"a\":[1,2]}"));
    EXPECT_FALSE(json::JSONValue("3"));
    EXPECT_EQ(*json::JSONFragmentValue("3"), Value(3));
    EXPECT_FALSE(json::JSONFragmentValue("[1,]"));
    json::setLogHandler({});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("-JSONValue failed. Error trace is: (", 0), 0u);
    EXPECT_NE(lines[0].find("Valid fragment, but not JSON"), std::string::npos);
    EXPECT_EQ(lines[1].rfind("-JSONFragmentValue failed. Error trace is: ", 0), 0u);
}

} // namespace
