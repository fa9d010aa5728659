#include "QNJsonBase.h"

namespace grinsley {

void QNJsonBase::addErrorWithCode(int code, std::string description) {
    auto error = std::make_shared<json::Error>();
    error->code = code;
    error->localizedDescription = std::move(description);
    if (!_errorTrace.empty())
        error->underlying = _errorTrace.back();
    _errorTrace.push_back(std::move(error));
}

bool QNJsonBase::enterLevel() {
    ++_depth;
    if ((_maxDepth != 0 && _depth > _maxDepth) || _depth > hardMaxDepth) {
        addErrorWithCode(json::ErrorCode::TooDeep, "Nested too deep");
        return false;
    }
    return true;
}

} // namespace grinsley
