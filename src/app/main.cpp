// For now the program opens a stand-in window: the canvas with a photo and the selection overlay, and a
// small toolbar for the edits, so that everything can be tried by hand with a mouse or a touch screen. The
// editor screens replace it.
#include <QAction>
#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>

#include "editing/DrawView.h"
#include "editing/PopupMenuSupport.h"
#include "editing/SelectionView.h"
#include "platform/Bundle.h"
#include "platform/Device.h"

namespace {

using namespace grinsley;

class StandInSupport final : public PopupMenuSupport {
public:
    explicit StandInSupport(DrawView* canvas) : _canvas(canvas) {}
    void deleteButtonTouched() override { _canvas->doClear(); }
    bool canDelete() const override { return _canvas->hasSelectedImage(); }
    void pasteButtonTouched() override { _canvas->doPaste(); }
    bool canPaste() const override { return _canvas->hasSelectedImage(); }
    void copyButtonTouched() override { _canvas->doCopy(); }
    bool canCopy() const override { return !_canvas->currentImage().isNull(); }

private:
    DrawView* _canvas;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QCoreApplication::setOrganizationName(QStringLiteral("Grinsley"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GRINSLEY_VERSION));
    platform::Device::configure(QCoreApplication::arguments());

    const QSizeF canvasSize = platform::Device::isTablet() ? QSizeF(768, 960) : QSizeF(390, 700);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Grinsley"));
    auto* scene = new QGraphicsScene(QRectF(QPointF(0, 0), canvasSize), &window);
    scene->setBackgroundBrush(QColor(24, 24, 28));
    auto* canvas = new DrawView(canvasSize);
    scene->addItem(canvas);
    StandInSupport support(canvas);
    canvas->initialize(0, 0, &support);
    canvas->restoreApplicationState();
    if (canvas->currentImage().isNull())
        canvas->setCurrentImage(platform::Bundle::imageNamed(QStringLiteral("Sample1"), QStringLiteral("jpg")));

    auto* toolbar = window.addToolBar(QStringLiteral("Edit"));
    toolbar->setMovable(false);
    const std::pair<const char*, void (DrawView::*)()> commands[] = {
        {"Copy", &DrawView::doCopy},   {"Paste", &DrawView::doPaste}, {"Swap", &DrawView::doSwap},
        {"Crop", &DrawView::doCrop},   {"Undo", &DrawView::doUndo},   {"Clear", &DrawView::doClear},
        {"Flip", &DrawView::flipHorizontally}};
    for (const auto& [name, command] : commands)
        toolbar->addAction(QString::fromLatin1(name), canvas, command);
    toolbar->addAction(QStringLiteral("Shape"), canvas, [canvas] {
        const bool ellipse = canvas->selectionView()->getPathForMaskFile().contains(QLatin1String("Ellipse"));
        canvas->changeSelectionShape(ellipse ? 1 : 0);
    });

    auto* view = new QGraphicsView(scene);
    view->viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    view->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    view->setFrameShape(QFrame::NoFrame);
    window.setCentralWidget(view);
    window.statusBar()->showMessage(QStringLiteral("Drag the handles to move, resize and rotate; hold still for the menu"));
    window.resize(canvasSize.toSize() + QSize(4, 70));
    window.show();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, canvas, &DrawView::saveApplicationState);
    return app.exec();
}
