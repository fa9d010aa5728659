#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "json/JsonValue.h"

namespace grinsley::json {

// One-line reads and writes with a fresh reader or writer; a failure is logged with its trace.
std::optional<Value> JSONValue(std::optional<std::string_view> text);
std::optional<Value> JSONFragmentValue(std::optional<std::string_view> text);
std::optional<std::string> JSONRepresentation(const Value& value);
std::optional<std::string> JSONFragment(const Value& value);

// Where those log lines go: standard error unless a handler is set (an empty one restores that).
void setLogHandler(std::function<void(const std::string&)> handler);

} // namespace grinsley::json
