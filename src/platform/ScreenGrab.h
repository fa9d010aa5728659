#pragma once

#include <QPixmap>

class QWidget;

namespace grinsley::platform {

// The window as a user sees it: with the popups, menus and sheets shown over it drawn in their places.
QPixmap grabScreen(QWidget* window);

} // namespace grinsley::platform
