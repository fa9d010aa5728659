#include "QNJSON.h"

namespace grinsley {

QNJSON::QNJSON() : _jsonParser(std::make_unique<QNJsonParser>()), _jsonWriter(std::make_unique<QNJsonWriter>()) {
    setMaxDepth(defaultMaxDepth);
}

void QNJSON::setMaxDepth(unsigned depth) {
    QNJsonBase::setMaxDepth(depth);
    _jsonParser->setMaxDepth(depth);
    _jsonWriter->setMaxDepth(depth);
}

void QNJSON::takeTrace(const QNJsonBase& from, ErrorOut error) {
    _errorTrace = from.errorTrace();
    if (error)
        *error = _errorTrace.empty() ? nullptr : _errorTrace.back();
}

std::optional<json::Value> QNJSON::objectWithString(std::optional<std::string_view> text, bool allowScalar,
                                                    ErrorOut error) {
    auto value = allowScalar ? _jsonParser->fragmentWithString(text) : _jsonParser->objectWithString(text);
    if (!value)
        takeTrace(*_jsonParser, error);
    return value;
}

std::optional<json::Value> QNJSON::objectWithString(std::optional<std::string_view> text) {
    return objectWithString(text, false, nullptr);
}

std::optional<json::Value> QNJSON::objectWithString(std::optional<std::string_view> text, ErrorOut error) {
    return objectWithString(text, false, error);
}

std::optional<json::Value> QNJSON::fragmentWithString(std::optional<std::string_view> text, ErrorOut error) {
    return objectWithString(text, true, error);
}

std::optional<std::string> QNJSON::stringWithObject(const json::Value& value, bool allowScalar, ErrorOut error) {
    auto text = allowScalar ? _jsonWriter->stringWithFragment(value) : _jsonWriter->stringWithObject(value);
    if (!text)
        takeTrace(*_jsonWriter, error);
    return text;
}

std::optional<std::string> QNJSON::stringWithObject(const json::Value& value) {
    return stringWithObject(value, false, nullptr);
}

std::optional<std::string> QNJSON::stringWithObject(const json::Value& value, ErrorOut error) {
    return stringWithObject(value, false, error);
}

std::optional<std::string> QNJSON::stringWithFragment(const json::Value& value, ErrorOut error) {
    return stringWithObject(value, true, error);
}

} // namespace grinsley
