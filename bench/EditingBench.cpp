// The canvas's edits on a 2-megapixel photo and the photo intake's resize of a 12-megapixel one, each beside a
// plain copy of the same pixel buffer as the floor; the history's Undo, Redo and memory on a 12-megapixel one.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QImage>

#include <benchmark/benchmark.h>

#include "editing/DrawView.h"
#include "editing/EditingStateWriter.h"
#include "editing/ImageResize.h"
#include "editing/SelectionView.h"
#include "platform/Image.h"

namespace {

using grinsley::DrawView;
using grinsley::platform::Image;

QImage photo(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255);
    }
    return image;
}

// A phone's canvas (390 x 700) showing a photo, the selection's region of the given size in points, turned.
struct Canvas {
    QGraphicsScene scene;
    DrawView* view = new DrawView(QSizeF(390, 700));
    QImage original;
    Canvas(QImage photo, QSizeF region, float angle) : original(std::move(photo)) {
        scene.addItem(view);
        view->initialize(0, 0, nullptr);
        view->setCurrentImage(Image(original));
        view->selectionView()->setBoundsIfValid(region + QSizeF(44, 132));
        view->selectionView()->setRotationAngle(angle);
    }
    // 1732 x 1155 (2.0 megapixels): 4.44 pixels a point, so a region of 68 x 101 points covers about 300 x 450
    // photo pixels; its piece copied.
    Canvas() : Canvas(photo({1732, 1155}), {68, 101}, 0.3f) { view->doCopy(); }
};

double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void floorCopy(benchmark::State& state, const QImage& image) {
    std::vector<uchar> target(std::size_t(image.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(target.data(), image.constBits(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}

void floor2Mp(benchmark::State& state) { floorCopy(state, photo({1732, 1155})); }

void copyEdit(benchmark::State& state) {
    Canvas c;
    for (auto _ : state)
        c.view->doCopy();
    state.counters["piece_px"] = double(c.view->selectionView()->imageSelection().pixelSize().width() *
                                        c.view->selectionView()->imageSelection().pixelSize().height());
}

void pasteEdit(benchmark::State& state) {
    Canvas c;
    for (auto _ : state) {
        c.view->doPaste();
        c.view->setCurrentImage(Image(c.original));
    }
}

void swapEdit(benchmark::State& state) {
    Canvas c;
    for (auto _ : state) {
        c.view->doSwap();
        c.view->setCurrentImage(Image(c.original));
    }
}

void cropEdit(benchmark::State& state) {
    Canvas c;
    for (auto _ : state) {
        c.view->doCrop();
        c.view->setCurrentImage(Image(c.original));
    }
}

// 4000 x 3000 tagged sideways, halved twice to 1000 x 750 (under a million pixels), as photo intake does.
const QImage& twelveMegapixels() {
    static const QImage image = photo({4000, 3000});
    return image;
}

void floor12Mp(benchmark::State& state) { floorCopy(state, twelveMegapixels()); }

void resize12Mp(benchmark::State& state) {
    const Image source(twelveMegapixels(), grinsley::platform::Orientation::Right);
    for (auto _ : state) {
        Image small = grinsley::imageresize::resizedImage(source, {750, 1000}, grinsley::imageresize::High);
        benchmark::DoNotOptimize(small);
    }
}

// The history on a 12-megapixel photo (4000 x 3000 in a 390 x 700 canvas, 10.3 pixels a point): a piece of
// about 700 x 1000 photo pixels pasted, then Undo and Redo, each timed on its own. With `shared` something else
// holds the photo as well (a save still writing it), so that writing the step into it copies it first.
void undoRedo(benchmark::State& state) {
    Canvas c(twelveMegapixels(), {68, 101}, 0.3f); // a region of about 700 x 1000 photo pixels
    c.view->doCopy();
    c.view->selectionView()->setCenter({150, 300});
    c.view->doPaste();
    c.view->finishDrawing();
    std::vector<double> undo, redo;
    for (auto _ : state) {
        for (auto [times, step] : {std::pair(&undo, &DrawView::doUndo), std::pair(&redo, &DrawView::doRedo)}) {
            const QImage holder = state.range(0) ? c.view->currentImage().bitmap() : QImage();
            times->push_back(millisecondsOf([&] { (c.view->*step)(); }));
        }
    }
    state.counters["undo_max_ms"] = *std::max_element(undo.begin(), undo.end());
    state.counters["redo_max_ms"] = *std::max_element(redo.begin(), redo.end());
    state.counters["step_bytes"] = double(c.view->history().bytes());
}

// Copy, Paste, Swap, Compare, Flip and Undo on a 12-megapixel photo, each timed as the interface thread spends it (the
// command, and apart from it the landing of its pixels worked out on a worker), and until it shows (the canvas
// is the photo's only holder, as in the editor between saves).
void editsAtFullSize(benchmark::State& state) {
    Canvas c(twelveMegapixels().copy(), {68, 101}, 0.3f);
    c.original = QImage(); // the canvas the photo's only holder
    DrawView* view = c.view;
    std::map<std::string, double> worst;
    const auto timed = [&](const std::string& name, const std::function<void()>& edit) {
        const auto start = std::chrono::steady_clock::now();
        double held = millisecondsOf(edit);
        while (view->isDrawing())
            held = std::max(held, millisecondsOf([] { QCoreApplication::processEvents(); }));
        worst[name + "_max_ms"] = std::max(worst[name + "_max_ms"], held);
        const double shown = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worst[name + "_shown_ms"] = std::max(worst[name + "_shown_ms"], shown);
    };
    for (auto _ : state) {
        view->selectionView()->setCenter({150, 300});
        timed("copy", [&] { view->doCopy(); });
        view->selectionView()->setCenter({250, 400});
        timed("paste", [&] { view->doPaste(); });
        timed("swap", [&] { view->doSwap(); });
        timed("compare", [&] { view->setComparing(true); });
        view->setComparing(false);
        timed("flip", [&] { view->flipHorizontally(); });
        timed("undo", [&] { view->doUndo(); });
    }
    for (const auto& [name, ms] : worst)
        state.counters[name] = ms;
}

// 100 pastes at different places on a 12-megapixel photo: what the history holds beside what the pasted regions
// cover (before and after pixels of each region's box), and beside 100 whole photos.
void hundredPastes(benchmark::State& state) {
    for (auto _ : state) {
        Canvas c(twelveMegapixels(), {20, 30}, 0);
        DrawView* view = c.view;
        view->doCopy();
        double regions = 0;
        for (int i = 0; i < 100; ++i) {
            view->selectionView()->setCenter({60.0 + (i % 10) * 28, 220.0 + (i / 10) * 25}); // on the photo (y 204 to 496)
            view->doPaste();
            const QSizeF box = view->scaleSelectedRegion().size();
            regions += 2 * 4 * box.width() * box.height();
        }
        state.counters["history_MB"] = double(view->history().bytes()) / (1 << 20);
        state.counters["regions_MB"] = regions / (1 << 20);
        state.counters["whole_photos_MB"] = 100.0 * twelveMegapixels().sizeInBytes() / (1 << 20);
        state.counters["steps"] = view->history().undoCount();
    }
}

// What the saved editing state writes on a 12-megapixel photo: the photo once, then after a paste of a piece
// about 700 x 1000 pixels only that paste's rectangle.
qint64 folderBytes() {
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(grinsley::EditingStateWriter::folder()).entryInfoList(QDir::Files))
        bytes += file.size();
    return bytes;
}

void savedState(benchmark::State& state) {
    for (auto _ : state) {
        Canvas c(twelveMegapixels().copy(), {68, 101}, 0.3f);
        DrawView* view = c.view;
        view->setSavesAfterEachEdit(true);
        view->setCurrentImage(Image(c.original)); // saved from here on
        QCoreApplication::processEvents();
        grinsley::EditingStateWriter::shared().waitUntilIdle();
        const qint64 base = folderBytes();
        view->doCopy();
        view->finishDrawing();
        QCoreApplication::processEvents();
        grinsley::EditingStateWriter::shared().waitUntilIdle();
        const qint64 withPiece = folderBytes();
        view->selectionView()->setCenter({250, 400});
        view->doPaste();
        view->finishDrawing();
        QCoreApplication::processEvents();
        grinsley::EditingStateWriter::shared().waitUntilIdle();
        state.counters["photo_written_MB"] = double(base) / (1 << 20);
        state.counters["paste_written_MB"] = double(folderBytes() - withPiece) / (1 << 20);
        state.counters["paste_box_px"] = double(view->history().undoable()->region.width()) * view->history().undoable()->region.height();
    }
}

// A 48-megapixel photo open and ten edits made (pastes of a large piece, a swap, a flip, undo and redo): the
// process's resident memory then, and its peak (exact when this benchmark runs alone: --benchmark_filter).
long statusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

void fortyEightMegapixels(benchmark::State& state) {
    for (auto _ : state) {
        Canvas c(photo({8000, 6000}), {68, 101}, 0);
        c.original = QImage(); // the canvas the photo's only holder
        DrawView* view = c.view;
        view->doCopy();
        for (int i = 0; i < 6; ++i) {
            view->selectionView()->setCenter({100.0 + 30 * i, 300.0});
            view->doPaste();
        }
        view->doSwap();
        view->flipHorizontally();
        view->doUndo();
        view->doRedo();
        state.counters["rss_MB"] = double(statusKilobytes("VmRSS:")) / 1024;
        state.counters["peak_MB"] = double(statusKilobytes("VmHWM:")) / 1024;
        state.counters["history_MB"] = double(view->history().bytes()) / (1 << 20);
    }
}

} // namespace

BENCHMARK(fortyEightMegapixels)->Name("memory/48MP_ten_edits")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(savedState)->Name("state/save_after_paste_12MP")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(undoRedo)->Name("history/undo_redo_12MP")->Arg(0)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(undoRedo)->Name("history/undo_redo_12MP_photo_shared")->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(editsAtFullSize)->Name("edit/interface_thread_12MP")->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(hundredPastes)->Name("history/100_pastes_12MP")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(floor2Mp)->Name("edit/floor_memcpy_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(copyEdit)->Name("edit/copy_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(pasteEdit)->Name("edit/paste_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(swapEdit)->Name("edit/swap_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(cropEdit)->Name("edit/crop_2MP")->Unit(benchmark::kMillisecond);
BENCHMARK(floor12Mp)->Name("resize/floor_memcpy_12MP")->Unit(benchmark::kMillisecond);
BENCHMARK(resize12Mp)->Name("resize/12MP_to_750x1000")->Unit(benchmark::kMillisecond);
