// Finding faces with landmarks in a 2 MP photo, fitting two faces onto each other and blending a 300 x 450
// piece into it, beside a plain copy of the photo; and how long the editor's interface thread is held while
// it does any of them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "Stall.h"
#include "app/FaceCommands.h"
#include "app/MoxelViewController.h"
#include "editing/DrawView.h"
#include "editing/PieceOperations.h"
#include "faces/Blending.h"
#include "faces/FaceFinder.h"
#include "faces/FaceFitting.h"
#include "platform/Device.h"

using namespace grinsley;

namespace {

// Two real faces (the sample astronaut and her mirrored, darker copy) on 1890 x 1058, just over 2 MP.
const QImage& photo2MP() {
    static const QImage photo = [] {
        const QImage astronaut(QStringLiteral(GRINSLEY_TEST_PHOTOS "/astronaut.png"));
        QImage canvas(1000, 560, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(QColor(150, 150, 150));
        QPainter p(&canvas);
        p.drawImage(QPointF(0, 24), astronaut);
        QImage other = astronaut.mirrored(true, false).scaled(435, 435, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter(&other).fillRect(other.rect(), QColor(0, 0, 0, 70));
        p.drawImage(QPointF(560, 60), other);
        p.end();
        return canvas.scaled(1890, 1058, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }();
    return photo;
}

void floorCopy(benchmark::State& state) {
    for (auto _ : state) {
        QImage copy = photo2MP().copy();
        benchmark::DoNotOptimize(copy.bits());
    }
}

// Faces with their landmarks; the landmark model is read by the first search of the run (timed apart).
void findFaces(benchmark::State& state) {
    static const double modelLoadMs = [] {
        QElapsedTimer timer;
        timer.start();
        faces::findFaces(QImage(64, 64, QImage::Format_RGB32));
        return double(timer.nsecsElapsed()) / 1e6;
    }();
    std::size_t found = 0;
    for (auto _ : state)
        found = faces::findFaces(photo2MP()).faces.size();
    state.counters["faces"] = double(found);
    state.counters["first_search_with_model_load_ms"] = modelLoadMs;
}

// Both faces of the 2 MP photo fitted onto each other (the worker's part of Swap Faces).
void swapFitted(benchmark::State& state) {
    const std::vector<faces::Face> found = faces::findFaces(photo2MP()).faces;
    if (found.size() < 2) {
        state.SkipWithError("fewer than two faces found");
        return;
    }
    for (auto _ : state) {
        QImage out = faces::swapFaces(photo2MP(), found[0], found[1]);
        benchmark::DoNotOptimize(out.bits());
    }
}

// A 300 x 450 oval piece from one face blended over the other.
void blendPiece(benchmark::State& state) {
    const QImage& photo = photo2MP();
    QPainterPath outline;
    outline.addEllipse(QRectF(0, 0, 300, 450));
    const QImage piece = pieces::applyMask(pieces::copyRegion(photo, QPointF(1525, 420), 0, QSize(300, 450), outline),
                                           pieces::ellipseMask(256));
    const QImage layer = pieces::pieceLayer(photo.size(), piece, QPointF(420, 330), 0, QSizeF(300, 450));
    for (auto _ : state) {
        QImage out = faces::blendIn(photo, layer);
        benchmark::DoNotOptimize(out.bits());
    }
}

// The editor on the 2 MP photo: the longest the interface thread is held from the press to the answer, for
// Faces (a new search each time) and for a blended Swap Faces.
void editorStall(benchmark::State& state) {
    platform::Device::setIdiom(platform::Idiom::Tablet);
    MoxelViewController editor(MoxelViewController::interfaceFileName());
    editor.resize(QSize(768, 1004));
    editor.show();
    editor.viewDidLoad();
    QCoreApplication::processEvents();
    const bool swap = state.range(0) == 1;
    editor.drawView()->setBlendsIn(swap);
    qint64 worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor.displayLoadedImage(platform::Image(photo2MP().copy())); // a photo whose faces are not known yet
        if (swap) {
            editor.findFacesButtonTouched();
            while (editor.faceCommands()->isFindingFaces())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.ResumeTiming();
        worst = std::max(worst, longestStall(
                                    [&] { swap ? editor.swapFacesButtonTouched() : editor.findFacesButtonTouched(); },
                                    [&] { return editor.faceCommands()->isFindingFaces() || editor.drawView()->isBlending(); }));
    }
    state.counters["longest_stall_ms"] = double(worst) / 1e6;
}

} // namespace

BENCHMARK(floorCopy)->Name("faces/floor_copy_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(findFaces)->Name("faces/find_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(swapFitted)->Name("faces/swap_fitted_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(blendPiece)->Name("faces/blend_300x450_into_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(editorStall)->Name("faces/editor_find")->Arg(0)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(editorStall)->Name("faces/editor_blended_swap")->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond);
