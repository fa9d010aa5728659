#pragma once

#include <memory>
#include <string>
#include <vector>

namespace grinsley::json {

// An error of the JSON component: a domain, a code and a message, and the error it grew out of (the one
// added just before it in a trace).
struct Error {
    static constexpr const char* domainName = "org.quorvanet.JSON.ErrorDomain";

    std::string domain = domainName;
    int code = 0;
    std::string localizedDescription;
    std::shared_ptr<const Error> underlying;

    // "Error Domain=... Code=3 "message"", as the trace is logged.
    std::string description() const;
};

using ErrorTrace = std::vector<std::shared_ptr<const Error>>;

// The whole trace as one text, innermost error first.
std::string describeTrace(const ErrorTrace& trace);

namespace ErrorCode {
inline constexpr int Unsupported = 1;
inline constexpr int BadNumber = 2;
inline constexpr int Syntax = 3;
inline constexpr int NotContainer = 4;
inline constexpr int ControlCharacter = 5;
inline constexpr int BadUnicodeEscape = 6;
inline constexpr int TooDeep = 7;
inline constexpr int BadEscape = 8;
inline constexpr int TrailingComma = 9;
inline constexpr int Garbage = 10;
inline constexpr int EndOfInput = 11;
inline constexpr int NoInput = 12;
} // namespace ErrorCode

} // namespace grinsley::json
