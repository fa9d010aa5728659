#include "Blending.h"

#include <opencv2/imgproc.hpp>

#include "faces/ColourMatch.h"

namespace grinsley::faces {

namespace {
cv::Mat view(const QImage& image, int type) {
    return cv::Mat(image.height(), image.width(), type, const_cast<uchar*>(image.constBits()),
                   size_t(image.bytesPerLine()));
}

// The box of the pixels the layer reaches.
QRect reachedBox(const QImage& layer) {
    int left = layer.width(), right = -1, top = layer.height(), bottom = -1;
    for (int y = 0; y < layer.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            if (qAlpha(line[x])) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = y;
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

QImage blendIn(const QImage& photo, const QImage& layer) {
    QImage out = photo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (out.isNull() || layer.size() != out.size())
        return out;
    const QImage piece = layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRect box = reachedBox(piece);
    if (box.isEmpty())
        return out;
    const QRect area = box;
    const QImage target = out.copy(area).convertToFormat(QImage::Format_RGB888);
    // The source is the piece's own colour wherever it reaches (its soft edge undone).
    QImage source = target.copy();
    QImage reach(area.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < area.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(piece.constScanLine(area.y() + y)) + area.x();
        uchar* colour = source.scanLine(y);
        uchar* covered = reach.scanLine(y);
        for (int x = 0; x < area.width(); ++x) {
            covered[x] = uchar(qAlpha(line[x]));
            if (!covered[x])
                continue;
            const QRgb c = qUnpremultiply(line[x]);
            colour[3 * x] = uchar(qRed(c));
            colour[3 * x + 1] = uchar(qGreen(c));
            colour[3 * x + 2] = uchar(qBlue(c));
        }
    }
    // The piece's colour matched to the photo's where the piece lies, in Lab: tone, light and tint come from
    // the photo it covers, detail from the piece, and nothing is tinted by what lies beyond it.
    const cv::Mat covered = view(reach, CV_8UC1);
    cv::Mat body, around;
    cv::threshold(covered, body, 127, 255, cv::THRESH_BINARY);
    cv::threshold(covered, around, 0, 255, cv::THRESH_BINARY);
    cv::Mat blended, under;
    cv::cvtColor(view(source, CV_8UC3), blended, cv::COLOR_RGB2BGR);
    cv::cvtColor(view(target, CV_8UC3), under, cv::COLOR_RGB2BGR);
    if (cv::countNonZero(body) == 0)
        body = around;
    matchColour(blended, body, under, around);
    cv::cvtColor(blended, blended, cv::COLOR_BGR2RGB);

    // The blended piece over the photo with the piece's own opacity.
    for (int y = 0; y < area.height(); ++y) {
        const uchar* covered = reach.constScanLine(y);
        const cv::Vec3b* colour = blended.ptr<cv::Vec3b>(y);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(area.y() + y)) + area.x();
        for (int x = 0; x < area.width(); ++x) {
            const int a = covered[x];
            if (!a)
                continue;
            const QRgb under = line[x];
            auto mix = [a](int piece, int photo) { return (piece * a + photo * (255 - a) + 127) / 255; };
            line[x] = qRgba(mix(colour[x][0], qRed(under)), mix(colour[x][1], qGreen(under)),
                            mix(colour[x][2], qBlue(under)), mix(255, qAlpha(under)));
        }
    }
    return out;
}

} // namespace grinsley::faces
