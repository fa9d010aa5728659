#include "Blending.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>

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
    // The work is done on the piece's box with a margin, padded so that the mask never touches an edge (the
    // solver needs the photo all around the piece).
    constexpr int pad = 3;
    const QRect area = box.adjusted(-pad, -pad, pad, pad) & out.rect();
    const QImage target = out.copy(area).convertToFormat(QImage::Format_RGB888);
    // The source is the piece's own colour wherever it reaches (its soft edge undone), so that its gradients
    // are the piece's and not the step from photo to piece.
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
    cv::Mat dst, src, mask;
    cv::copyMakeBorder(view(target, CV_8UC3), dst, pad, pad, pad, pad, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(view(source, CV_8UC3), src, pad, pad, pad, pad, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(view(reach, CV_8UC1), mask, pad, pad, pad, pad, cv::BORDER_CONSTANT, 0);
    cv::threshold(mask, mask, 0, 255, cv::THRESH_BINARY);
    // One pixel more, so that every pixel the piece reaches lies inside the solver's region.
    cv::dilate(mask, mask, cv::Mat());
    const cv::Rect m = cv::boundingRect(mask);
    // The solver centres the mask's box on this point; this one leaves the piece where it is.
    const cv::Point centre(m.x + m.width / 2, m.y + m.height / 2);
    cv::Mat blended;
    cv::seamlessClone(src, dst, mask, centre, blended, cv::NORMAL_CLONE);

    // The blended piece over the photo with the piece's own opacity.
    for (int y = 0; y < area.height(); ++y) {
        const uchar* covered = reach.constScanLine(y);
        const cv::Vec3b* colour = blended.ptr<cv::Vec3b>(y + pad) + pad;
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
