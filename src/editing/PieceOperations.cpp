#include "PieceOperations.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QTransform>

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

QImage applyMask(const QImage& piece, const QImage& mask) {
    if (mask.isNull() || piece.isNull())
        return piece;
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8)
                            .scaled(piece.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage out = piece.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const uchar* samples = grey.constScanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            const unsigned keep = 255u - samples[x];
            if (keep == 255u)
                continue;
            const QRgb p = line[x];
            // Premultiplied: every channel scales with the opacity.
            auto scale = [keep](unsigned channel) { return (channel * keep + 127u) / 255u; };
            line[x] = qRgba(int(scale(unsigned(qRed(p)))), int(scale(unsigned(qGreen(p)))),
                            int(scale(unsigned(qBlue(p)))), int(scale(unsigned(qAlpha(p)))));
        }
    }
    return out;
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
