#pragma once

#include <QRectF>
#include <QString>

class QGraphicsScene;
class QWidget;

namespace grinsley::testing {

// Where tests leave files for people to look at: the build folder's test-output.
QString outputFolder();

// Renders the widget, or a part of the scene, to a PNG in the output folder and returns its path.
QString renderToPng(QWidget* widget, const QString& name);
// The window as a user sees it: with the popups, menus and dialogs shown over it drawn in their places.
QString renderScreenToPng(QWidget* window, const QString& name);
QString renderToPng(QGraphicsScene* scene, const QRectF& sceneRect, const QString& name, qreal scale = 2.0);

} // namespace grinsley::testing
