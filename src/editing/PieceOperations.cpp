#include "PieceOperations.h"

#include <QPainter>

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
    QImage out = photo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (out.isNull() || piece.isNull())
        return out;
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(centre);
    painter.rotate(degrees(angle));
    painter.drawImage(QRectF(QPointF(-regionSize.width() / 2, -regionSize.height() / 2), regionSize), piece);
    return out;
}

QImage blankPhoto(QSize size, bool opaqueBlack) {
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(opaqueBlack ? QColor(Qt::black) : QColor(Qt::transparent));
    return out;
}

} // namespace grinsley::pieces
