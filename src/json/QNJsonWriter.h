#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "json/JsonValue.h"
#include "json/QNJsonBase.h"

namespace grinsley {

// Writes values as JSON text, compact or indented, keys in object order or sorted. Reusable; one thread at a
// time; the options stay as set.
class QNJsonWriter : public QNJsonBase {
public:
    bool sortKeys() const { return _sortKeys; }
    void setSortKeys(bool sort) { _sortKeys = sort; }
    bool humanReadable() const { return _humanReadable; }
    void setHumanReadable(bool readable) { _humanReadable = readable; }

    // Text for an object or an array; nullopt (with the trace) for anything else or on error.
    std::optional<std::string> stringWithObject(const json::Value& value);
    // Text for any value that can be written.
    std::optional<std::string> stringWithFragment(const json::Value& value);

private:
    bool appendValue(const json::Value& value, std::string& into);
    bool appendDictionary(json::ObjectView object, std::string& into);
    bool appendArray(json::ArrayView array, std::string& into);
    void appendString(std::string_view text, std::string& into) const;
    void appendIndent(std::string& into) const;

    bool _sortKeys = false;
    bool _humanReadable = false;
};

} // namespace grinsley
