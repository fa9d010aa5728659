#pragma once

// The canvas's pixel work as plain functions of images and geometry, all in photo pixels (origin top-left,
// y down). Rotations are the overlay's: positive turns clockwise on screen.

#include <vector>

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QSizeF>

namespace grinsley::pieces {

// A turned region of a photo, in photo pixels: its centre, its size before turning, and the turn.
struct PhotoRegion {
    QPointF centre;
    QSizeF size;
    float angle = 0;
};

// The content under a rotated selection, straightened: the piece pixel at offset v from the piece's centre
// shows the photo pixel at centre + R(angle)·v. Clipped to the outline (in piece pixels); transparent
// outside it and outside the photo.
QImage copyRegion(const QImage& photo, QPointF centre, float angle, QSize pieceSize, const QPainterPath& outline);

// Softens the piece with a grey mask stretched over it (sampled between its pixels): a mask sample S leaves the
// opacity times (1 - S). A null mask leaves the piece as it is.
QImage applyMask(QImage piece, const QImage& mask);

// The photo with the piece drawn over it, stretched to a region of the given size centred on the centre and
// turned by the angle: the inverse of copyRegion.
QImage pastePiece(const QImage& photo, const QImage& piece, QPointF centre, float angle, QSizeF regionSize);

// The same, drawn into the photo itself: only the region's pixels are touched (the photo is copied first only if
// something else holds it, or converted once if it is not 32-bit premultiplied).
void pastePieceInto(QImage& photo, const QImage& piece, QPointF centre, float angle, QSizeF regionSize);
// The pixels a paste of a region can touch: its turned box, with a pixel of smoothing around it.
QRect pasteReach(const PhotoRegion& region);

// The piece as pastePiece lays it down, alone on a transparent image of the photo's size.
QImage pieceLayer(QSize photoSize, const QImage& piece, QPointF centre, float angle, QSizeF regionSize);

// An edit's pixel work as an order that needs nothing but the photo, so that it can run on a worker: pieces cut
// from the photo as it is (clipped to an outline in piece pixels, then masked), then pastes drawn over it, each
// of a piece given or of one of the cuts.
struct Cut {
    PhotoRegion region;
    QPainterPath outline;
};
struct Paste {
    QImage piece; // or, when null, the cut numbered `cut`
    int cut = -1;
    PhotoRegion region;
};
struct Drawing {
    std::vector<Cut> cuts;
    QImage mask;
    std::vector<Paste> pastes;
    // How many pixels the work passes over: what decides whether it is worth a worker.
    qsizetype pixels() const;
};
// What a drawing produced; the photo itself is left as it was.
struct Drawn {
    std::vector<QImage> pieces; // the cuts, masked, in order
    QRect box;                  // what the pastes can reach (photo pixels), and its pixels before them
    QImage beforeBox;
    QRect changed; // the smallest rectangle holding every pixel the pastes changed, before and after
    QImage before, after;
};
Drawn draw(const QImage& photo, const Drawing& drawing);

// The size in whole pixels of a piece cut from a region of this size.
QSize pieceSizeFor(QSizeF region);

// The shapes' grey masks (black keeps the piece, white removes it) with a soft band just inside the outline.
// Softness 1 is the band of the bundled masks, 0 none at all, larger values a wider band (up to the middle).
QImage ellipseMask(int side, double softness = 1.0);
QImage rectangleMask(int side, double softness = 1.0);

// A photo of the given size with nothing left on it: transparent, or opaque black.
QImage blankPhoto(QSize size, bool opaqueBlack);

} // namespace grinsley::pieces
