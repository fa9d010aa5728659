#include "JsonConvenience.h"

#include <iostream>

#include "json/QNJsonParser.h"
#include "json/QNJsonWriter.h"

namespace grinsley::json {

namespace {

std::function<void(const std::string&)>& logHandler() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

void logFailure(const char* operation, const ErrorTrace& trace) {
    const std::string line = std::string("-") + operation + " failed. Error trace is: " + describeTrace(trace);
    if (logHandler())
        logHandler()(line);
    else
        std::cerr << line << '\n';
}

template <typename Result, typename Run> Result logged(const char* operation, Run run) {
    auto [result, trace] = run();
    if (!result)
        logFailure(operation, trace);
    return result;
}

} // namespace

void setLogHandler(std::function<void(const std::string&)> handler) { logHandler() = std::move(handler); }

std::optional<Value> JSONValue(std::optional<std::string_view> text) {
    return logged<std::optional<Value>>("JSONValue", [&] {
        QNJsonParser parser;
        auto value = parser.objectWithString(text);
        return std::pair{std::move(value), parser.errorTrace()};
    });
}

std::optional<Value> JSONFragmentValue(std::optional<std::string_view> text) {
    return logged<std::optional<Value>>("JSONFragmentValue", [&] {
        QNJsonParser parser;
        auto value = parser.fragmentWithString(text);
        return std::pair{std::move(value), parser.errorTrace()};
    });
}

std::optional<std::string> JSONRepresentation(const Value& value) {
    return logged<std::optional<std::string>>("JSONRepresentation", [&] {
        QNJsonWriter writer;
        auto text = writer.stringWithObject(value);
        return std::pair{std::move(text), writer.errorTrace()};
    });
}

std::optional<std::string> JSONFragment(const Value& value) {
    return logged<std::optional<std::string>>("JSONFragment", [&] {
        QNJsonWriter writer;
        auto text = writer.stringWithFragment(value);
        return std::pair{std::move(text), writer.errorTrace()};
    });
}

} // namespace grinsley::json
