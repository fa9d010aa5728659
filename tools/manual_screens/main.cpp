// Takes the pictures of the user manual from the running program: the screens a user meets, on the phone
// layout and one on the tablet layout, written as PNGs into the manual's folder. Run it again (make manual)
// whenever the screens change.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>

#include "app/MoxelAppDelegate.h"
#include "app/FaceCommands.h"
#include "app/MoxelViewController.h"
#include "app/ShapePickerViewController.h"
#include "app/StartupViewController.h"
#include "editing/DrawView.h"
#include "editing/ImageResize.h"
#include "editing/SelectionView.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/ImageCodec.h"
#include "platform/ScreenGrab.h"
#include "platform/WebView.h"

using namespace grinsley;

namespace {

void wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

class Shooter {
public:
    explicit Shooter(QString folder) : _folder(std::move(folder)) {}

    bool shoot(QWidget* window, const QString& name) {
        wait(350); // slides and fades come to rest
        const QString path = _folder + QLatin1Char('/') + name + QStringLiteral(".png");
        const bool saved = platform::grabScreen(window).save(path);
        QTextStream(saved ? stdout : stderr) << (saved ? "" : "cannot write ") << path << "\n";
        _ok &= saved;
        return saved;
    }
    bool ok() const { return _ok; }

private:
    QString _folder;
    bool _ok = true;
};

// The bundled sample, upright and under the device's size limit, as Open would give it.
platform::Image samplePhoto() {
    const platform::Image photo =
        platform::ImageCodec::decodeFile(platform::Bundle::pathForResource(QStringLiteral("Sample1"), QStringLiteral("jpg")));
    return imageresize::resizedImage(photo, MoxelViewController::validSize(photo.size(), MoxelViewController::maxImageSize()),
                                     imageresize::High);
}

MoxelViewController* startEditor(MoxelAppDelegate& app) {
    app.startupViewController()->startButton()->click();
    return app.startupViewController()->mainViewController();
}

void placeSelection(MoxelViewController* editor, QPointF centre) {
    editor->drawView()->selectionView()->setCenterWithBoundsCheck(centre);
}

// The program as a user launches it, on one layout.
std::unique_ptr<MoxelAppDelegate> launch(platform::Idiom idiom) {
    platform::Device::setIdiom(idiom);
    platform::Application::shared().resetLifecycle();
    auto app = std::make_unique<MoxelAppDelegate>();
    app->install();
    platform::Application::shared().finishLaunching({});
    return app;
}

bool phoneScreens(Shooter& shooter) {
    const std::unique_ptr<MoxelAppDelegate> launched = launch(platform::Idiom::Phone);
    MoxelAppDelegate& app = *launched;
    QWidget* window = app.window();
    shooter.shoot(window, QStringLiteral("start"));

    MoxelViewController* editor = startEditor(app);
    shooter.shoot(window, QStringLiteral("editor-hint"));

    editor->displayLoadedImage(samplePhoto());
    // The sample's two faces, left and right of the canvas's centre.
    const QPointF centre = editor->drawView()->bounds().center();
    placeSelection(editor, centre + QPointF(-75, -15));
    shooter.shoot(window, QStringLiteral("editor-photo"));

    editor->copyButtonTouched();
    placeSelection(editor, centre + QPointF(77, -15));
    shooter.shoot(window, QStringLiteral("editor-piece"));

    editor->swapButtonTouched();
    shooter.shoot(window, QStringLiteral("editor-swap"));

    editor->organizeButtonTouched();
    shooter.shoot(window, QStringLiteral("share-sheet"));
    editor->dismissPopoverViews(false);
    if (editor->currentActionSheet())
        editor->currentActionSheet()->dismissWithClickedButtonIndex(-1, false);

    editor->shapesButtonTouched();
    shooter.shoot(window, QStringLiteral("shape-picker"));
    if (auto* picker = editor->findChild<ShapePickerViewController*>())
        picker->button2Touched();
    wait(400);
    shooter.shoot(window, QStringLiteral("editor-rectangle"));
    editor->clearButtonTouched();

    // Faces, on a fresh photo: the selection goes over the first face found.
    editor->undoButtonTouched();
    editor->drawView()->changeSelectionShape(0);
    editor->findFacesButtonTouched();
    while (editor->faceCommands()->isFindingFaces())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    shooter.shoot(window, QStringLiteral("editor-faces"));
    editor->edgeButtonTouched();
    shooter.shoot(window, QStringLiteral("edge-options"));
    editor->dismissPopoverViews(false);

    // Swap Faces on a photograph of two people, before and after (one of the face tests' photographs, which
    // the set-up fetches).
    const platform::Image couple = platform::ImageCodec::decodeFile(QStringLiteral(GRINSLEY_TEST_PHOTOS "/faces/bar55_2.jpg"));
    if (couple.isNull()) {
        QTextStream(stderr) << "missing the face photographs (tools/setup.sh fetches them)\n";
        return false;
    }
    const auto facesSettle = [editor] {
        while (editor->faceCommands()->isFindingFaces())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    editor->clearButtonTouched();
    editor->displayLoadedImage(couple);
    editor->findFacesButtonTouched();
    facesSettle();
    // The selection out of the way, so that the faces show.
    const QPointF below = editor->drawView()->bounds().center() + QPointF(0, 210);
    placeSelection(editor, below);
    shooter.shoot(window, QStringLiteral("face-swap-before"));
    editor->swapFacesButtonTouched();
    facesSettle();
    placeSelection(editor, below);
    shooter.shoot(window, QStringLiteral("face-swap-after"));
    return shooter.ok();
}

bool tabletScreen(Shooter& shooter) {
    const std::unique_ptr<MoxelAppDelegate> app = launch(platform::Idiom::Tablet);
    MoxelViewController* editor = startEditor(*app);
    editor->dismissPopoverViews(false);
    editor->displayLoadedImage(samplePhoto());
    const QPointF centre = editor->drawView()->bounds().center();
    placeSelection(editor, centre + QPointF(-145, -50));
    editor->copyButtonTouched();
    placeSelection(editor, centre + QPointF(150, -40));
    return shooter.shoot(app->window(), QStringLiteral("tablet-editor"));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::WebView::prepareBeforeApplication();
    // A fresh home: the pictures never show the state of whoever runs this.
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        qputenv(name, (home.path() + QLatin1Char('/') + QLatin1String(name)).toLocal8Bit());
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QCoreApplication::setOrganizationName(QStringLiteral("Grinsley"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/html/manual");
    QDir().mkpath(folder);
    Shooter shooter(folder);
    const bool ok = phoneScreens(shooter) && tabletScreen(shooter);
    return ok ? 0 : 1;
}
