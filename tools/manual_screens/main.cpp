// Takes the pictures of the user manual from the running program: the screens a user meets, on the phone
// layout and one on the tablet layout, written as PNGs into the manual's folder. With --video it records the
// tutorial video instead: a scripted session, frame by frame, encoded to WebM by ffmpeg. Run it again
// (make manual) whenever the screens change.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>

#include "app/MoxelAppDelegate.h"
#include "app/FaceCommands.h"
#include "app/MainScrollView.h"
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

// Frames of the window, ten a second, for the tutorial video.
class Recorder {
public:
    Recorder(QWidget* window, QString folder) : _window(window), _folder(std::move(folder)) {}
    // Lets the program run for a while and records it.
    void hold(double seconds) {
        for (int i = 0; i < int(seconds * fps); ++i) {
            wait(1000 / fps);
            frame();
        }
    }
    // Moves the selection to a point of the canvas over a while, as a finger would drag it.
    void drag(MoxelViewController* editor, QPointF to, double seconds) {
        SelectionView* overlay = editor->drawView()->selectionView();
        const QPointF from = overlay->center();
        const int steps = int(seconds * fps);
        for (int i = 1; i <= steps; ++i) {
            placeSelection(editor, from + (to - from) * (double(i) / steps));
            wait(1000 / fps);
            frame();
        }
    }
    bool encode(const QString& video) const {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-framerate"),
                      QString::number(fps), QStringLiteral("-i"), _folder + QStringLiteral("/frame%04d.png"), QStringLiteral("-c:v"),
                      QStringLiteral("libvpx-vp9"), QStringLiteral("-b:v"), QStringLiteral("0"), QStringLiteral("-crf"),
                      QStringLiteral("42"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), video});
        if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0) {
            QTextStream(stderr) << "ffmpeg failed (tools/setup.sh video installs it): " << ffmpeg.readAllStandardError() << "\n";
            return false;
        }
        QTextStream(stdout) << video << " (" << _frames << " frames)\n";
        return true;
    }

private:
    static constexpr int fps = 10;
    void frame() {
        platform::grabScreen(_window).save(QStringLiteral("%1/frame%2.png").arg(_folder).arg(_frames++, 4, 10, QLatin1Char('0')));
    }
    QWidget* _window;
    QString _folder;
    int _frames = 0;
};

// The tutorial: open the sample, find the faces and swap them, take it back, then copy a face and paste it
// beside the other, change the shape, and share.
bool recordTutorial(const QString& video) {
    QTemporaryDir frames;
    const std::unique_ptr<MoxelAppDelegate> launched = launch(platform::Idiom::Phone);
    MoxelAppDelegate& app = *launched;
    QWidget* window = app.window();
    Recorder recorder(window, frames.path());
    recorder.hold(2);
    MoxelViewController* editor = startEditor(app);
    recorder.hold(2);
    editor->displayLoadedImage(samplePhoto());
    recorder.hold(1.5);
    const auto facesSettle = [editor, &recorder] {
        while (editor->faceCommands()->isFindingFaces())
            recorder.hold(0.1);
    };
    editor->findFacesButtonTouched();
    facesSettle();
    recorder.hold(2);
    editor->findFacesButtonTouched();
    recorder.hold(2);
    editor->swapFacesButtonTouched();
    facesSettle();
    recorder.hold(2.5);
    editor->undoButtonTouched();
    recorder.hold(1.5);
    editor->scrollView()->setZoomScale(1, true); // a pinch back out to the whole photo
    recorder.hold(1.5);
    const QPointF centre = editor->drawView()->bounds().center();
    recorder.drag(editor, centre + QPointF(-75, -15), 1);
    editor->copyButtonTouched();
    recorder.hold(1.5);
    recorder.drag(editor, centre + QPointF(77, -15), 1.5);
    recorder.hold(0.5);
    editor->pasteButtonTouched();
    recorder.hold(2);
    editor->undoButtonTouched();
    editor->shapesButtonTouched();
    recorder.hold(1.5);
    if (auto* picker = editor->findChild<ShapePickerViewController*>())
        picker->button2Touched();
    recorder.hold(2);
    editor->organizeButtonTouched();
    recorder.hold(2.5);
    editor->dismissPopoverViews(false);
    if (editor->currentActionSheet())
        editor->currentActionSheet()->dismissWithClickedButtonIndex(-1, false);
    recorder.hold(1);
    return recorder.encode(video);
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
    if (argc > 2 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--video"))
        return recordTutorial(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/html/manual");
    QDir().mkpath(folder);
    Shooter shooter(folder);
    const bool ok = phoneScreens(shooter) && tabletScreen(shooter);
    return ok ? 0 : 1;
}
