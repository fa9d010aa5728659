#include "PieceOperations.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QTransform>

#include "editing/EditHistory.h"

namespace grinsley::pieces {

namespace {
QImage transparentSurface(QSize size) {
    QImage surface(size, QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::transparent);
    return surface;
}

double degrees(float radians) { return double(radians) * 180.0 / M_PI; }
} // namespace

QImage copyRegion(const QImage& photo, QPointF centre, float angle, QSize pieceSize, const QPainterPath& outline) {
    QImage piece = transparentSurface(pieceSize);
    if (piece.isNull() || photo.isNull())
        return piece;
    QPainter painter(&piece);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(outline);
    // Photo to piece: undo the rotation about the selection centre, then put that centre on the piece's.
    painter.translate(pieceSize.width() / 2.0, pieceSize.height() / 2.0);
    painter.rotate(-degrees(angle));
    painter.translate(-centre);
    painter.drawImage(QPointF(0, 0), photo);
    return piece;
}

namespace {
// Where each of `count` samples stretched over `sourceCount` falls between two source samples, pixel centres
// aligned: the two and the weight of the second in 256ths.
struct Tap {
    int first, second, weight;
};
std::vector<Tap> taps(int count, int sourceCount) {
    std::vector<Tap> out(std::size_t(std::max(count, 0)));
    const double step = double(sourceCount) / count;
    for (int i = 0; i < count; ++i) {
        const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, double(sourceCount - 1));
        const int first = int(at);
        out[std::size_t(i)] = {first, std::min(first + 1, sourceCount - 1), int(std::lround((at - first) * 256))};
    }
    return out;
}
} // namespace

QImage applyMask(QImage piece, const QImage& mask) {
    if (mask.isNull() || piece.isNull())
        return piece;
    // Stretched bilinearly as it is read: the piece can be a megapixel, the mask is a small square.
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
    if (piece.format() != QImage::Format_ARGB32_Premultiplied)
        piece = std::move(piece).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const std::vector<Tap> columns = taps(piece.width(), grey.width());
    const std::vector<Tap> rows = taps(piece.height(), grey.height());
    std::vector<int> line(std::size_t(grey.width()));
    for (int y = 0; y < piece.height(); ++y) {
        const Tap row = rows[std::size_t(y)];
        const uchar* upper = grey.constScanLine(row.first);
        const uchar* lower = grey.constScanLine(row.second);
        for (int x = 0; x < grey.width(); ++x)
            line[std::size_t(x)] = upper[x] * (256 - row.weight) + lower[x] * row.weight;
        auto* pixels = reinterpret_cast<QRgb*>(piece.scanLine(y));
        for (int x = 0; x < piece.width(); ++x) {
            const Tap column = columns[std::size_t(x)];
            const int sample = (line[std::size_t(column.first)] * (256 - column.weight) +
                                line[std::size_t(column.second)] * column.weight + (1 << 15)) >> 16;
            if (sample == 0)
                continue;
            const unsigned keep = 255u - unsigned(sample);
            const QRgb p = pixels[x];
            // Premultiplied: every channel scales with the opacity.
            auto scale = [keep](unsigned channel) { return (channel * keep + 127u) / 255u; };
            pixels[x] = qRgba(int(scale(unsigned(qRed(p)))), int(scale(unsigned(qGreen(p)))),
                              int(scale(unsigned(qBlue(p)))), int(scale(unsigned(qAlpha(p)))));
        }
    }
    return piece;
}

QImage pastePiece(const QImage& photo, const QImage& piece, QPointF centre, float angle, QSizeF regionSize) {
    QImage out = photo;
    pastePieceInto(out, piece, centre, angle, regionSize);
    return out;
}

void pastePieceInto(QImage& photo, const QImage& piece, QPointF centre, float angle, QSizeF regionSize) {
    if (photo.format() != QImage::Format_ARGB32_Premultiplied)
        photo = std::move(photo).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (photo.isNull() || piece.isNull())
        return;
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(centre);
    painter.rotate(degrees(angle));
    painter.drawImage(QRectF(QPointF(-regionSize.width() / 2, -regionSize.height() / 2), regionSize), piece);
}

QRect pasteReach(const PhotoRegion& region) {
    const QSizeF size = region.size;
    const QRectF box = QTransform().rotateRadians(region.angle).mapRect(QRectF(QPointF(-size.width() / 2, -size.height() / 2), size));
    return box.translated(region.centre).toAlignedRect().adjusted(-1, -1, 1, 1);
}

QSize pieceSizeFor(QSizeF region) { return {std::max(1, qRound(region.width())), std::max(1, qRound(region.height()))}; }

qsizetype Drawing::pixels() const {
    qsizetype total = 0;
    for (const Cut& cut : cuts)
        total += qsizetype(cut.region.size.width() * cut.region.size.height());
    for (const Paste& paste : pastes) {
        const QRect reach = pasteReach(paste.region);
        total += qsizetype(reach.width()) * reach.height();
    }
    return total;
}

// The pastes are drawn into a copy of the box they reach, never into the photo: the photo may be on screen and
// its pixels before are the step's. Only the rectangle that changed is kept of either side, read where it lies
// in the box (at full size every copy is megabytes).
Drawn draw(const QImage& photo, const Drawing& drawing) {
    Drawn out;
    for (const Cut& cut : drawing.cuts)
        out.pieces.push_back(applyMask(copyRegion(photo, cut.region.centre, cut.region.angle, pieceSizeFor(cut.region.size), cut.outline),
                                       drawing.mask));
    for (const Paste& paste : drawing.pastes)
        out.box |= pasteReach(paste.region);
    out.box &= photo.rect();
    if (out.box.isEmpty())
        return out;
    out.beforeBox = pixelsOf(photo, out.box);
    QImage afterBox = out.beforeBox.copy();
    for (const Paste& paste : drawing.pastes) {
        const QImage& piece = paste.piece.isNull() ? out.pieces.at(std::size_t(paste.cut)) : paste.piece;
        pastePieceInto(afterBox, piece, paste.region.centre - out.box.topLeft(), paste.region.angle, paste.region.size);
    }
    const QRect changed = changedRegion(out.beforeBox, afterBox, afterBox.rect());
    out.changed = changed.translated(out.box.topLeft());
    out.before = viewOf(out.beforeBox, changed);
    out.after = viewOf(afterBox, changed);
    return out;
}

QImage pieceLayer(QSize photoSize, const QImage& piece, QPointF centre, float angle, QSizeF regionSize) {
    return pastePiece(transparentSurface(photoSize), piece, centre, angle, regionSize);
}

namespace {
double smoothstep(double edge0, double edge1, double x) {
    if (edge1 <= edge0)
        return x < edge0 ? 0.0 : 1.0;
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}
} // namespace

QImage ellipseMask(int side, double softness) {
    QImage mask(side, side, QImage::Format_Grayscale8);
    const double r = side / 2.0;
    const double inner = std::max(0.0, 1.0 - 0.12 * softness);
    for (int y = 0; y < side; ++y) {
        uchar* line = mask.scanLine(y);
        for (int x = 0; x < side; ++x) {
            const double dx = (x + 0.5 - r) / r;
            const double dy = (y + 0.5 - r) / r;
            const double d = std::sqrt(dx * dx + dy * dy);
            line[x] = uchar(qRound(255 * smoothstep(inner, 1.0, d)));
        }
    }
    return mask;
}

QImage rectangleMask(int side, double softness) {
    QImage mask(side, side, QImage::Format_Grayscale8);
    const double band = std::min(side * 0.06 * softness, side / 2.0);
    for (int y = 0; y < side; ++y) {
        uchar* line = mask.scanLine(y);
        const double ey = std::min(y + 0.5, side - y - 0.5);
        for (int x = 0; x < side; ++x) {
            const double ex = std::min(x + 0.5, side - x - 0.5);
            const double keep = smoothstep(0, band, ex) * smoothstep(0, band, ey);
            line[x] = uchar(qRound(255 * (1 - keep)));
        }
    }
    return mask;
}

QImage blankPhoto(QSize size, bool opaqueBlack) {
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(opaqueBlack ? QColor(Qt::black) : QColor(Qt::transparent));
    return out;
}

} // namespace grinsley::pieces
