// Photo intake, from a 12-megapixel camera file (4032 x 3024, tagged to turn a quarter clockwise) to the upright
// canvas photo of each layout's limit, beside libjpeg-turbo's own decode at the same reduction (the floor) and
// Qt's plain scaled decode. Also the longest the interface thread is held while the editor opens the file.
#include <cmath>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include "Stall.h"

#include "app/MoxelViewController.h"
#include "platform/UserDefaults.h"
#include "editing/DrawView.h"
#include "platform/Device.h"
#include "platform/PhotoFile.h"

namespace {

using grinsley::MoxelViewController;
using grinsley::platform::PhotoFile;

// A camera-like file: fine detail everywhere (so the entropy decoder has real work) and an EXIF orientation 6.
const QString& cameraFile() {
    static const QString path = [] {
        const QString file = QDir::tempPath() + QStringLiteral("/grinsley-bench-12mp.jpg");
        FILE* out = std::fopen(QFile::encodeName(file).constData(), "wb");
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, out);
        cinfo.image_width = 4032;
        cinfo.image_height = 3024;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 92, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        static const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', '*', 0, 8, 0, 0, 0, 1, 0, 0x12,
                                             0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
        std::vector<JSAMPLE> row(4032 * 3);
        unsigned noise = 12345;
        while (cinfo.next_scanline < cinfo.image_height) {
            const unsigned y = cinfo.next_scanline;
            for (unsigned x = 0; x < 4032; ++x) {
                noise = noise * 1103515245u + 12345u;
                row[x * 3] = JSAMPLE((x / 8 + y / 5 + (noise >> 28)) & 255);
                row[x * 3 + 1] = JSAMPLE((y / 3 + (noise >> 27)) & 255);
                row[x * 3 + 2] = JSAMPLE(((x ^ y) / 16 + (noise >> 29)) & 255);
            }
            JSAMPROW rows[] = {row.data()};
            jpeg_write_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(out);
        return file;
    }();
    return path;
}

QSize targetFor(QSizeF upright, int limit) {
    const QSizeF valid = MoxelViewController::validSize(upright, limit);
    return {int(std::ceil(valid.width())), int(std::ceil(valid.height()))};
}

void intake(benchmark::State& state) {
    const int limit = int(state.range(0));
    QSize size;
    for (auto _ : state) {
        const PhotoFile::Result result =
            PhotoFile::readUpright(cameraFile(), [limit](QSizeF upright) { return targetFor(upright, limit); });
        size = result.photo.pixelSize();
        benchmark::DoNotOptimize(result.photo.bitmap().constBits());
    }
    state.counters["width"] = size.width();
    state.counters["height"] = size.height();
}

// The floor: libjpeg-turbo reading the same file at 1/N scale straight into 32-bit pixels, and nothing else.
void libjpegFloor(benchmark::State& state) {
    for (auto _ : state) {
        QFile file(cameraFile());
        file.open(QIODevice::ReadOnly);
        const QByteArray data = file.readAll();
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), data.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.scale_num = 1;
        cinfo.scale_denom = unsigned(state.range(0));
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        std::vector<JSAMPLE> pixels(size_t(cinfo.output_width) * cinfo.output_height * 4);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[] = {&pixels[size_t(cinfo.output_scanline) * cinfo.output_width * 4]};
            jpeg_read_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// What plain Qt gives: a scaled read that also turns the photo upright.
void qtScaledDecode(benchmark::State& state) {
    for (auto _ : state) {
        QImageReader reader(cameraFile());
        reader.setAutoTransform(true);
        reader.setScaledSize({1008, 756});
        QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The editor opening the file: the longest gap between ticks of a 1 ms timer on the interface thread, from
// Open to the photo on the canvas.
void editorStall(benchmark::State& state) {
    grinsley::platform::Device::setIdiom(state.range(0) ? grinsley::platform::Idiom::Tablet
                                                         : grinsley::platform::Idiom::Phone);
    // A fresh editor: a photo another benchmark left in the saved state would be an unsaved edit to ask about.
    for (const char* key : {"currentImage", "currentImagePatches", "imageSelection"})
        grinsley::platform::UserDefaults::standard().removeObjectForKey(QLatin1String(key));
    MoxelViewController editor(MoxelViewController::interfaceFileName());
    editor.resize(state.range(0) ? QSize(768, 1004) : QSize(390, 844));
    editor.show();
    editor.viewDidLoad();
    QCoreApplication::processEvents();
    qint64 worst = 0;
    // Once untimed: the first photo also pays for the editor's first paint and layout.
    longestStall([&] { editor.openPhotoFile(cameraFile()); }, [&] { return editor.isLoadingImage(); });
    for (auto _ : state)
        worst = std::max(worst, longestStall([&] { editor.openPhotoFile(cameraFile()); }, [&] { return editor.isLoadingImage(); }));
    state.counters["longest_stall_ms"] = double(worst) / 1e6;
}

// How much fine detail survives the shrink: the mean absolute Laplacian of the luma. A softer result has less.
double sharpness(const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 1; y + 1 < grey.height(); ++y) {
        const uchar* above = grey.constScanLine(y - 1);
        const uchar* row = grey.constScanLine(y);
        const uchar* below = grey.constScanLine(y + 1);
        for (int x = 1; x + 1 < grey.width(); ++x)
            sum += std::abs(4 * row[x] - row[x - 1] - row[x + 1] - above[x] - below[x]);
    }
    return sum / double((grey.width() - 2) * (grey.height() - 2));
}

// Sharpness of the upright phone-size photo beside libvips' thumbnailer at the same size, when it is installed.
void sharpnessBesideLibvips(benchmark::State& state) {
    QImage ours;
    for (auto _ : state)
        ours = PhotoFile::readUpright(cameraFile(), [](QSizeF upright) { return targetFor(upright, 1000000); })
                   .photo.bitmap();
    state.counters["grinsley"] = sharpness(ours);
    const QString vips = QDir::tempPath() + QStringLiteral("/grinsley-bench-vips.png");
    QProcess thumbnailer;
    thumbnailer.start(QStringLiteral("vipsthumbnail"),
                      {cameraFile(), QStringLiteral("--size"), QStringLiteral("%1x%2").arg(ours.width()).arg(ours.height()),
                       QStringLiteral("-o"), vips});
    if (thumbnailer.waitForFinished(60000) && thumbnailer.exitCode() == 0) {
        const QImage theirs(vips);
        state.counters["libvips"] = sharpness(theirs);
        state.counters["libvips_same_size"] = theirs.size() == ours.size();
    } else {
        state.SetLabel("vipsthumbnail not installed");
    }
}

} // namespace

BENCHMARK(sharpnessBesideLibvips)->Name("intake/sharpness_12MP_phone")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(libjpegFloor)->Name("intake/floor_libjpeg_turbo_quarter_12MP")->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(libjpegFloor)->Name("intake/floor_libjpeg_turbo_full_12MP")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(qtScaledDecode)->Name("intake/qt_scaled_decode_12MP")->Unit(benchmark::kMillisecond);
BENCHMARK(intake)->Name("intake/12MP_exif6_phone")->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(intake)->Name("intake/12MP_exif6_tablet")->Arg(2000000)->Unit(benchmark::kMillisecond);
BENCHMARK(intake)->Name("intake/12MP_exif6_full_size")->Arg(64000000)->Unit(benchmark::kMillisecond);
BENCHMARK(editorStall)->Name("intake/editor_phone")->Arg(0)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(editorStall)->Name("intake/editor_tablet")->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond);
