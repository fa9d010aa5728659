#include "BusySpinner.h"

#include "platform/ActivityIndicator.h"

namespace grinsley {

BusySpinner::BusySpinner(QWidget* host, std::function<QPointF()> centre) : _host(host), _centre(std::move(centre)) {}

void BusySpinner::begin() {
    if (_count++ > 0)
        return;
    auto* indicator = new platform::ActivityIndicator(_host);
    indicator->resize(60, 60);
    const QPointF centre = _centre();
    indicator->move(int(centre.x()) - 30, int(centre.y()) - 30);
    indicator->startAnimating();
    _indicator = indicator;
}

void BusySpinner::end() {
    if (_count == 0 || --_count > 0)
        return;
    if (_indicator) {
        _indicator->stopAnimating();
        _indicator->deleteLater();
    }
    _indicator = nullptr;
}

} // namespace grinsley
