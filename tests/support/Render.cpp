#include "Render.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include "platform/ScreenGrab.h"

namespace grinsley::testing {

QString outputFolder() {
    QString folder = qEnvironmentVariable("GRINSLEY_TEST_OUTPUT");
    if (folder.isEmpty())
        folder = QStringLiteral(GRINSLEY_TEST_OUTPUT_DIR);
    QDir().mkpath(folder);
    return folder;
}

QString renderToPng(QWidget* widget, const QString& name) {
    const QString path = outputFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

QString renderScreenToPng(QWidget* window, const QString& name) {
    const QString path = outputFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    platform::grabScreen(window).save(path);
    return path;
}

QString renderToPng(QGraphicsScene* scene, const QRectF& sceneRect, const QString& name, qreal scale) {
    const QString path = outputFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    QImage image((sceneRect.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    scene->render(&painter, QRectF(QPointF(0, 0), image.size()), sceneRect);
    painter.end();
    image.save(path);
    return path;
}

} // namespace grinsley::testing
