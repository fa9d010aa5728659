#include "JsonError.h"

namespace grinsley::json {

std::string Error::description() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
}

std::string describeTrace(const ErrorTrace& trace) {
    std::string text = "(";
    for (std::size_t i = 0; i < trace.size(); ++i) {
        text += i ? ",\n    " : "\n    ";
        text += trace[i]->description();
    }
    text += trace.empty() ? ")" : "\n)";
    return text;
}

} // namespace grinsley::json
