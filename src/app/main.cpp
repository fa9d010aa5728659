// For now the program opens a stand-in window: a sample photo with the selection overlay on it, so that the
// overlay's gestures can be tried with a mouse or a touch screen. The editor screens replace it.
#include <QApplication>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMainWindow>
#include <QStatusBar>

#include "editing/PopupMenuSupport.h"
#include "editing/SelectionView.h"
#include "platform/Bundle.h"
#include "platform/Device.h"

namespace {

using namespace grinsley;

class StandInSupport final : public PopupMenuSupport {
public:
    explicit StandInSupport(QStatusBar* bar) : _bar(bar) {}
    void deleteButtonTouched() override { _bar->showMessage(QStringLiteral("Delete")); }
    bool canDelete() const override { return false; }
    void pasteButtonTouched() override { _bar->showMessage(QStringLiteral("Paste")); }
    bool canPaste() const override { return false; }
    void copyButtonTouched() override { _bar->showMessage(QStringLiteral("Copy")); }
    bool canCopy() const override { return true; }

private:
    QStatusBar* _bar;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GRINSLEY_VERSION));
    platform::Device::configure(QCoreApplication::arguments());

    const bool tablet = platform::Device::isTablet();
    const QSizeF canvasSize = tablet ? QSizeF(768, 960) : QSizeF(390, 700);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Grinsley"));
    auto* scene = new QGraphicsScene(QRectF(QPointF(0, 0), canvasSize), &window);
    scene->setBackgroundBrush(QColor(24, 24, 28));
    auto* canvas = scene->addRect(QRectF(QPointF(0, 0), canvasSize), Qt::NoPen, Qt::NoBrush);

    const platform::Image photo = platform::Bundle::imageNamed(QStringLiteral("Sample1"), QStringLiteral("jpg"));
    if (!photo.isNull()) {
        const QSizeF fitted = photo.size().scaled(canvasSize, Qt::KeepAspectRatio);
        auto* photoItem = new QGraphicsPixmapItem(QPixmap::fromImage(photo.bitmap().scaled(
                                                      fitted.toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation)),
                                                  canvas);
        photoItem->setPos((canvasSize.width() - fitted.width()) / 2, (canvasSize.height() - fitted.height()) / 2);
    }

    const QRectF frame = tablet ? QRectF(0, 0, 264, 422.4) : QRectF(0, 0, 132, 264);
    auto* overlay = new SelectionView(frame, canvas);
    overlay->setCenter(QPointF(canvasSize.width() / 2, canvasSize.height() / 2));
    StandInSupport support(window.statusBar());
    overlay->setPopupMenuSupport(&support);
    // Keep the centre on the canvas, as the canvas will.
    QObject::connect(overlay, &SelectionView::centerWithBoundsCheckChanged, overlay, [overlay, canvasSize] {
        const QPointF c = overlay->center();
        overlay->setCenter(QPointF(qBound(0.0, c.x(), canvasSize.width()), qBound(0.0, c.y(), canvasSize.height())));
    });

    auto* view = new QGraphicsView(scene);
    view->viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    view->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    view->setFrameShape(QFrame::NoFrame);
    window.setCentralWidget(view);
    window.statusBar()->showMessage(QStringLiteral("Drag the handles to move, resize and rotate; hold still for the menu"));
    window.resize(canvasSize.toSize() + QSize(4, 30));
    window.show();
    return app.exec();
}
