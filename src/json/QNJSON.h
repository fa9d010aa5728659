#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "json/QNJsonParser.h"
#include "json/QNJsonWriter.h"

namespace grinsley {

// One reader and one writer behind one object. After a failure it keeps its own copy of the failing side's
// trace, which a later success does not clear.
class QNJSON : public QNJsonBase {
public:
    using ErrorOut = std::shared_ptr<const json::Error>*;

    QNJSON();

    std::optional<json::Value> objectWithString(std::optional<std::string_view> text);
    std::optional<json::Value> objectWithString(std::optional<std::string_view> text, ErrorOut error);
    std::optional<json::Value> fragmentWithString(std::optional<std::string_view> text, ErrorOut error);
    std::optional<json::Value> objectWithString(std::optional<std::string_view> text, bool allowScalar,
                                                ErrorOut error);

    std::optional<std::string> stringWithObject(const json::Value& value);
    std::optional<std::string> stringWithObject(const json::Value& value, ErrorOut error);
    std::optional<std::string> stringWithFragment(const json::Value& value, ErrorOut error);
    std::optional<std::string> stringWithObject(const json::Value& value, bool allowScalar, ErrorOut error);

    // The reader's limit; setting it sets the reader's and the writer's.
    unsigned maxDepth() const { return _jsonParser->maxDepth(); }
    void setMaxDepth(unsigned depth);

    bool sortKeys() const { return _jsonWriter->sortKeys(); }
    void setSortKeys(bool sort) { _jsonWriter->setSortKeys(sort); }
    bool humanReadable() const { return _jsonWriter->humanReadable(); }
    void setHumanReadable(bool readable) { _jsonWriter->setHumanReadable(readable); }

private:
    void takeTrace(const QNJsonBase& from, ErrorOut error);

    std::unique_ptr<QNJsonParser> _jsonParser;
    std::unique_ptr<QNJsonWriter> _jsonWriter;
};

} // namespace grinsley
