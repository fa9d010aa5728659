#pragma once

#include <string>

#include "json/JsonError.h"

namespace grinsley {

// What the reader and the writer share: the error trace of the last operation and the nesting limit.
class QNJsonBase {
public:
    static constexpr unsigned defaultMaxDepth = 512;
    // However the limit is set, even to 0 ("none"), nesting stops here: deeper input would exhaust the stack.
    static constexpr unsigned hardMaxDepth = 2048;

    unsigned maxDepth() const { return _maxDepth; }
    void setMaxDepth(unsigned depth) { _maxDepth = depth; }

    // A copy of the last operation's errors, innermost first; empty after a success.
    json::ErrorTrace errorTrace() const { return _errorTrace; }
    void clearErrorTrace() { _errorTrace.clear(); }
    // Appends an error whose underlying error is the one added before it.
    void addErrorWithCode(int code, std::string description);

protected:
    // One level deeper; false (with the "Nested too deep" error) past the limit.
    bool enterLevel();
    void leaveLevel() {
        if (_depth)
            --_depth;
    }

    json::ErrorTrace _errorTrace;
    unsigned _depth = 0;
    unsigned _maxDepth = defaultMaxDepth;
};

} // namespace grinsley
