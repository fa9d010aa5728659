#pragma once

#include <functional>

#include <QPointF>
#include <QPointer>

#include "platform/ActivityIndicator.h"

namespace grinsley {

// The editor's spinner, shown while any of its background work runs. Each piece of work says when it begins
// and when it ends; the spinner shows from the first beginning to the last end, so no piece of work needs to
// know who else is showing it.
class BusySpinner {
public:
    // `centre` says where the spinner goes in the host, asked each time it appears.
    BusySpinner(QWidget* host, std::function<QPointF()> centre);

    void begin();
    void end();
    bool isBusy() const { return _count > 0; }
    // Present only while busy.
    platform::ActivityIndicator* indicator() const { return _indicator.data(); }

private:
    QWidget* _host;
    std::function<QPointF()> _centre;
    int _count = 0;
    QPointer<platform::ActivityIndicator> _indicator; // a child of the host while busy
};

} // namespace grinsley
