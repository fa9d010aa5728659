// Draws the application's bundled images: the selection overlay's handle icons, the two shape masks and a
// sample photo, and the launcher's icon. Run with `make resources`; the output is checked in under
// resources/images and resources/icons.
#include <cmath>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTextStream>

#include "editing/PieceOperations.h"

namespace {

constexpr int iconScale = 2; // icons are drawn at twice their point size

QImage blankIcon(int points) {
    QImage image(points * iconScale, points * iconScale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A dark disc with a white ring and a soft shadow: it reads on bright and dark photos alike.
void drawBadge(QPainter& p, QPointF centre, qreal radius) {
    p.setPen(Qt::NoPen);
    QRadialGradient shadow(centre + QPointF(0, 2), radius + 6);
    shadow.setColorAt(0.75, QColor(0, 0, 0, 90));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setBrush(shadow);
    p.drawEllipse(centre + QPointF(0, 2), radius + 6, radius + 6);
    QLinearGradient fill(centre - QPointF(0, radius), centre + QPointF(0, radius));
    fill.setColorAt(0, QColor(58, 62, 70, 235));
    fill.setColorAt(1, QColor(18, 20, 24, 235));
    p.setBrush(fill);
    p.setPen(QPen(Qt::white, radius * 0.11));
    p.drawEllipse(centre, radius, radius);
}

QPainterPath arrowHead(QPointF tip, qreal angle, qreal length, qreal width) {
    const QPointF dir(std::cos(angle), std::sin(angle));
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = tip - dir * length;
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(base + normal * width / 2);
    head.lineTo(base - normal * width / 2);
    head.closeSubpath();
    return head;
}

QImage resizeIcon() {
    QImage image = blankIcon(44);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(44, 44);
    drawBadge(p, c, 30);
    // A grip: a white square with two short bars, the usual sign for "drag this edge".
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(c.x() - 13, c.y() - 13, 26, 26), 5, 5);
    p.setBrush(QColor(30, 32, 38));
    p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 6, 16, 3.5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(c.x() - 8, c.y() + 2.5, 16, 3.5), 1.5, 1.5);
    return image;
}

// A circular arrow; `quarter` turns it so each corner's arrow sweeps around that corner.
QImage rotateIcon(int quarter) {
    QImage image = blankIcon(44);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(44, 44);
    drawBadge(p, c, 30);
    p.translate(c);
    p.rotate(90.0 * quarter);
    const qreal r = 15;
    QPen pen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // Qt's angles run counter-clockwise from three o'clock, in sixteenths of a degree.
    const int start = 200, span = -250;
    p.drawArc(QRectF(-r, -r, 2 * r, 2 * r), start * 16, span * 16);
    const qreal endDegrees = -(start + span); // in y-down screen terms
    const qreal endRad = qDegreesToRadians(endDegrees);
    const QPointF end(r * std::cos(endRad), r * std::sin(endRad));
    const qreal tangent = endRad + M_PI_2; // clockwise direction of travel
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(arrowHead(end + QPointF(std::cos(tangent), std::sin(tangent)) * 7, tangent, 14, 17));
    return image;
}

// Four arrows from the centre: the sign for moving.
QImage moveIcon(int points) {
    QImage image = blankIcon(points);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = points * iconScale;
    const QPointF c(side / 2, side / 2);
    const qreal radius = side * 0.36;
    drawBadge(p, c, radius);
    const qreal reach = radius * 0.72;
    p.setPen(QPen(Qt::white, side * 0.055, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c - QPointF(reach * 0.7, 0), c + QPointF(reach * 0.7, 0));
    p.drawLine(c - QPointF(0, reach * 0.7), c + QPointF(0, reach * 0.7));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i) {
        const qreal a = i * M_PI_2;
        const QPointF tip = c + QPointF(std::cos(a), std::sin(a)) * reach;
        p.drawPath(arrowHead(tip, a, side * 0.13, side * 0.15));
    }
    return image;
}

void drawFace(QPainter& p, QPointF c, qreal r, QColor skin, QColor hair, bool smile) {
    p.setPen(Qt::NoPen);
    p.setBrush(hair);
    p.drawEllipse(c + QPointF(0, -r * 0.25), r * 1.08, r * 1.0);
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.4);
    g.setColorAt(0, skin.lighter(118));
    g.setColorAt(1, skin.darker(115));
    p.setBrush(g);
    p.drawEllipse(c, r * 0.82, r);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(c + QPointF(-r * 0.32, -r * 0.15), r * 0.17, r * 0.12);
    p.drawEllipse(c + QPointF(r * 0.32, -r * 0.15), r * 0.17, r * 0.12);
    p.setBrush(QColor(40, 60, 90));
    p.drawEllipse(c + QPointF(-r * 0.3, -r * 0.14), r * 0.08, r * 0.08);
    p.drawEllipse(c + QPointF(r * 0.34, -r * 0.14), r * 0.08, r * 0.08);
    p.setPen(QPen(QColor(150, 60, 60), r * 0.07, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF mouth(c.x() - r * 0.35, c.y() + r * (smile ? 0.1 : 0.38), r * 0.7, r * 0.45);
    p.drawArc(mouth, smile ? 200 * 16 : 20 * 16, smile ? 140 * 16 : 140 * 16);
}

// A made-up holiday photo with two faces, so the face swap can be tried at once.
QImage samplePhoto() {
    QImage photo(1200, 900, QImage::Format_RGB32);
    QPainter p(&photo);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 560);
    sky.setColorAt(0, QColor(70, 130, 200));
    sky.setColorAt(1, QColor(190, 220, 240));
    p.fillRect(photo.rect(), sky);
    QRadialGradient sun(QPointF(960, 150), 120);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(0.4, QColor(255, 230, 150, 220));
    sun.setColorAt(1, QColor(255, 230, 150, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(960, 150), 120, 120);
    QPainterPath hills;
    hills.moveTo(0, 560);
    for (int x = 0; x <= 1200; x += 20)
        hills.lineTo(x, 470 + 60 * std::sin(x / 150.0) + 30 * std::sin(x / 47.0));
    hills.lineTo(1200, 900);
    hills.lineTo(0, 900);
    p.setBrush(QColor(80, 120, 90));
    p.drawPath(hills);
    QLinearGradient meadow(0, 560, 0, 900);
    meadow.setColorAt(0, QColor(110, 170, 80));
    meadow.setColorAt(1, QColor(60, 120, 50));
    p.setBrush(meadow);
    p.drawRect(QRectF(0, 580, 1200, 320));
    p.setBrush(QColor(200, 60, 60));
    p.drawRoundedRect(QRectF(250, 560, 240, 340), 60, 60);
    p.setBrush(QColor(60, 90, 180));
    p.drawRoundedRect(QRectF(720, 570, 240, 330), 60, 60);
    drawFace(p, QPointF(370, 420), 110, QColor(240, 200, 160), QColor(90, 60, 30), true);
    drawFace(p, QPointF(840, 440), 105, QColor(200, 150, 110), QColor(30, 30, 30), false);
    p.end();
    // A little grain, as a camera leaves it.
    QRandomGenerator random(7);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int n = int(random.bounded(9)) - 4;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255), qBound(0, qBlue(c) + n, 255));
        }
    }
    return photo;
}

// The start screen's tiled background: deep blue with a fine woven texture.
QImage backgroundTile() {
    QImage tile(64 * iconScale, 64 * iconScale, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < tile.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
        for (int x = 0; x < tile.width(); ++x) {
            const int weave = ((x / 2 + y / 2) % 2) ? 4 : -4;
            const int n = int(random.bounded(7)) - 3 + weave;
            line[x] = qRgb(qBound(0, 22 + n, 255), qBound(0, 38 + n, 255), qBound(0, 70 + n, 255));
        }
    }
    return tile;
}

// A glossy button in the given colours, symmetric about its middle row and column so that stretching those keeps
// its look.
QImage glossyButton(QColor top, QColor upper, QColor lower, QColor bottom, QColor edge) {
    const int side = 21 * iconScale;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, 1, side - 2, side - 2);
    QLinearGradient fill(0, 0, 0, side);
    fill.setColorAt(0, top);
    fill.setColorAt(0.48, upper);
    fill.setColorAt(0.52, lower);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(edge, 2));
    p.setBrush(fill);
    p.drawRoundedRect(r, 8 * iconScale, 8 * iconScale);
    return image;
}

QImage blueButton() {
    return glossyButton(QColor(110, 170, 250), QColor(40, 110, 220), QColor(25, 90, 200), QColor(20, 70, 170),
                        QColor(10, 40, 110));
}

// The upload screen's Cancel: the same gloss in red.
QImage redButton() {
    return glossyButton(QColor(250, 130, 120), QColor(215, 50, 40), QColor(195, 35, 30), QColor(160, 25, 20),
                        QColor(100, 15, 10));
}

// The social network's dialog panel: its close button, a light cross in a ring, at twice 29 points.
QImage dialogCloseButton() {
    QImage image = blankIcon(29);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(iconScale, iconScale);
    p.setPen(QPen(QColor(167, 184, 216), 2.2));
    p.setBrush(QColor(40, 60, 110, 180));
    p.drawEllipse(QPointF(14.5, 14.5), 11, 11);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(18.5, 18.5));
    p.drawLine(QPointF(18.5, 10.5), QPointF(10.5, 18.5));
    return image;
}

// The service's icon in the dialog's title bar: a white "P" for Plaza on its blue, 16 points square.
QImage dialogServiceIcon() {
    QImage image = blankIcon(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(iconScale, iconScale);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(59, 89, 152));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QPainterPath letter;
    QFont font;
    font.setBold(true);
    font.setPixelSize(13);
    letter.addText(QPointF(4, 13), font, QStringLiteral("P"));
    p.setBrush(Qt::white);
    p.drawPath(letter);
    return image;
}

// The program's own icon for the desktop's launcher, drawn for each size so that small ones stay crisp: two faces
// on a dark rounded tile, one under a dashed selection that is being lifted away.
QImage applicationIcon(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 256.0, side / 256.0);
    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, QColor(64, 118, 214));
    tile.setColorAt(1, QColor(22, 44, 96));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
    const auto face = [&p](QPointF centre, QColor skin, QColor hair) {
        p.setPen(Qt::NoPen);
        p.setBrush(hair);
        p.drawEllipse(centre + QPointF(0, -10), 46, 44);
        p.setBrush(skin);
        p.drawEllipse(centre, 38, 44);
        p.setBrush(QColor(30, 32, 40));
        p.drawEllipse(centre + QPointF(-14, -6), 6, 6);
        p.drawEllipse(centre + QPointF(14, -6), 6, 6);
        p.setPen(QPen(QColor(150, 50, 50), 6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(centre + QPointF(-16, 2), QSizeF(32, 22)), 200 * 16, 140 * 16);
    };
    face({84, 140}, QColor(244, 206, 170), QColor(110, 70, 30));
    face({172, 140}, QColor(200, 146, 104), QColor(25, 25, 30));
    // The selection around the right face, a little lifted and turned.
    p.save();
    p.translate(172, 132);
    p.rotate(-12);
    p.setPen(QPen(Qt::white, side >= 48 ? 7 : 12, Qt::DashLine, Qt::RoundCap));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(QPointF(0, 0), 62, 76);
    p.restore();
    return image;
}

// The editor's toolbar glyphs: white strokes on nothing, 22 points square.
QImage toolIcon(const QString& name) {
    QImage image = blankIcon(22);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(iconScale, iconScale);
    QPen pen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto head = [&](QPointF tip, qreal angle) {
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrowHead(tip, angle, 5, 6));
        p.restore();
    };
    if (name == QLatin1String("Open")) {
        p.drawRoundedRect(QRectF(2, 4, 18, 14), 2, 2);
        p.drawEllipse(QPointF(7, 8.5), 1.6, 1.6);
        p.drawPolyline(QPolygonF({QPointF(3, 16), QPointF(9, 11), QPointF(13, 14), QPointF(16, 10), QPointF(20, 14)}));
    } else if (name == QLatin1String("Share")) {
        p.drawPolyline(QPolygonF({QPointF(7, 9), QPointF(4, 9), QPointF(4, 20), QPointF(18, 20), QPointF(18, 9), QPointF(15, 9)}));
        p.drawLine(QPointF(11, 14), QPointF(11, 4));
        head(QPointF(11, 1.5), -M_PI_2);
    } else if (name == QLatin1String("Undo") || name == QLatin1String("Redo")) {
        if (name == QLatin1String("Redo")) { // Undo's arrow, mirrored
            p.translate(22, 0);
            p.scale(-1, 1);
        }
        p.drawArc(QRectF(4, 5, 15, 13), 90 * 16, -200 * 16);
        p.drawLine(QPointF(11.5, 5), QPointF(7, 5));
        head(QPointF(3, 5), M_PI);
    } else if (name == QLatin1String("Copy")) {
        p.drawRoundedRect(QRectF(3, 3, 11, 13), 1.5, 1.5);
        p.drawRoundedRect(QRectF(8, 7, 11, 13), 1.5, 1.5);
    } else if (name == QLatin1String("Paste")) {
        p.drawRoundedRect(QRectF(4, 4, 14, 16), 2, 2);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(8, 2, 6, 4), 1, 1);
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(8, 11), QPointF(14, 11));
        p.drawLine(QPointF(8, 15), QPointF(14, 15));
    } else if (name == QLatin1String("Swap")) {
        p.drawLine(QPointF(3, 7), QPointF(16, 7));
        head(QPointF(20, 7), 0);
        p.drawLine(QPointF(19, 15), QPointF(6, 15));
        head(QPointF(2, 15), M_PI);
    } else if (name == QLatin1String("Crop")) {
        p.drawPolyline(QPolygonF({QPointF(6, 1), QPointF(6, 16), QPointF(21, 16)}));
        p.drawPolyline(QPolygonF({QPointF(1, 6), QPointF(16, 6), QPointF(16, 21)}));
    } else if (name == QLatin1String("Shapes")) {
        p.drawEllipse(QRectF(2, 2, 11, 11));
        p.drawRect(QRectF(9, 9, 11, 11));
    } else if (name == QLatin1String("Flip")) {
        p.setPen(QPen(Qt::white, 1.2, Qt::DashLine));
        p.drawLine(QPointF(11, 1), QPointF(11, 21));
        p.setPen(pen);
        p.drawPolygon(QPolygonF({QPointF(8, 5), QPointF(8, 18), QPointF(2, 18)}));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(14, 5), QPointF(14, 18), QPointF(20, 18)}));
    } else if (name == QLatin1String("Clear")) {
        p.drawLine(QPointF(3, 6), QPointF(19, 6));
        p.drawRoundedRect(QRectF(8, 2.5, 6, 3.5), 1, 1);
        p.drawPolyline(QPolygonF({QPointF(5, 6), QPointF(6.5, 20), QPointF(15.5, 20), QPointF(17, 6)}));
        p.drawLine(QPointF(9, 9.5), QPointF(9.5, 17));
        p.drawLine(QPointF(13, 9.5), QPointF(12.5, 17));
    } else if (name == QLatin1String("Help")) {
        p.drawEllipse(QRectF(2, 2, 18, 18));
        QFont font;
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(2, 2, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
    } else if (name == QLatin1String("Faces")) {
        // A face in a viewfinder's corners.
        for (const QPointF& c : {QPointF(2, 2), QPointF(20, 2), QPointF(20, 20), QPointF(2, 20)}) {
            const qreal sx = c.x() < 11 ? 1 : -1;
            const qreal sy = c.y() < 11 ? 1 : -1;
            p.drawPolyline(QPolygonF({c + QPointF(0, 4.5 * sy), c, c + QPointF(4.5 * sx, 0)}));
        }
        p.drawEllipse(QRectF(6.5, 5, 9, 12));
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(9.3, 10), 0.9, 0.9);
        p.drawEllipse(QPointF(12.7, 10), 0.9, 0.9);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(9, 11.5, 4, 2.8), 200 * 16, 140 * 16);
    } else if (name == QLatin1String("SwapFaces")) {
        // Two faces with an arrow each way between them.
        p.drawEllipse(QRectF(1, 9, 7, 9));
        p.drawEllipse(QRectF(14, 9, 7, 9));
        p.drawArc(QRectF(4.5, 2, 13, 10), 160 * 16, -140 * 16);
        head(QPointF(17.6, 8.3), M_PI_2 + 0.5);
        p.drawArc(QRectF(4.5, 13, 13, 8), -20 * 16, -140 * 16);
        head(QPointF(4.4, 16), -M_PI_2 - 0.5);
    } else if (name == QLatin1String("Compare")) {
        // Before and after: a frame split down the middle, its right half filled.
        p.drawRoundedRect(QRectF(2, 4, 18, 14), 2, 2);
        p.drawLine(QPointF(11, 2), QPointF(11, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(11, 4.9, 8.1, 12.2));
    } else if (name == QLatin1String("Edge")) {
        // A disc whose edge fades out, beside a hard one.
        QRadialGradient soft(QPointF(8, 11), 7.5);
        soft.setColorAt(0, Qt::white);
        soft.setColorAt(0.5, Qt::white);
        soft.setColorAt(1, Qt::transparent);
        p.setPen(Qt::NoPen);
        p.setBrush(soft);
        p.drawEllipse(QPointF(8, 11), 7.5, 7.5);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(16, 11), 4.5, 4.5);
    }
    return image;
}

// The shape picker's two buttons: the selection shape as the overlay draws it, a dashed outline over a tint.
QImage shapeArtwork(bool rectangle) {
    const int side = 128; // 64 points at twice their size
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(14, 24, side - 28, side - 48);
    QLinearGradient tint(shape.topLeft(), shape.bottomRight());
    tint.setColorAt(0, QColor(120, 170, 255, 200));
    tint.setColorAt(1, QColor(40, 80, 200, 200));
    p.setBrush(tint);
    p.setPen(QPen(Qt::white, 5, Qt::DashLine, Qt::RoundCap));
    if (rectangle)
        p.drawRect(shape);
    else
        p.drawEllipse(shape);
    return image;
}

bool save(const QImage& image, const QString& path, int quality = -1) {
    if (!image.save(path, nullptr, quality)) {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << path << "\n";
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
    QDir().mkpath(out);
    const QString at2 = QStringLiteral("@2x.png");
    bool ok = save(resizeIcon(), out + QStringLiteral("/Resize") + at2);
    for (int i = 0; i < 4; ++i)
        ok &= save(rotateIcon(i), out + QStringLiteral("/Rotate%1").arg(i + 1) + at2);
    ok &= save(moveIcon(22), out + QStringLiteral("/Move") + at2);
    ok &= save(moveIcon(44), out + QStringLiteral("/MoveLarge") + at2);
    ok &= save(grinsley::pieces::ellipseMask(256), out + QStringLiteral("/EllipseMask.png"));
    ok &= save(grinsley::pieces::rectangleMask(256), out + QStringLiteral("/RectangleMask.png"));
    ok &= save(samplePhoto(), out + QStringLiteral("/Sample1.jpg"), 90);
    ok &= save(backgroundTile(), out + QStringLiteral("/Background1") + at2);
    ok &= save(blueButton(), out + QStringLiteral("/Blue button") + at2);
    ok &= save(redButton(), out + QStringLiteral("/Red button") + at2);
    QDir().mkpath(out + QStringLiteral("/SocialDialog.bundle/images"));
    ok &= save(dialogCloseButton(), out + QStringLiteral("/SocialDialog.bundle/images/close.png"));
    ok &= save(dialogServiceIcon(), out + QStringLiteral("/SocialDialog.bundle/images/socialicon.png"));
    ok &= save(shapeArtwork(false), out + QStringLiteral("/ShapeEllipse") + at2);
    ok &= save(shapeArtwork(true), out + QStringLiteral("/ShapeRectangle") + at2);
    for (const char* tool : {"Open", "Share", "Undo", "Redo", "Copy", "Paste", "Swap", "Crop", "Shapes", "Flip", "Clear", "Help",
                             "Faces", "SwapFaces", "Compare", "Edge"})
        ok &= save(toolIcon(QLatin1String(tool)), out + QStringLiteral("/Tool%1").arg(QLatin1String(tool)) + at2);
    // The launcher's icon in the sizes desktops look for, laid out as the icon theme is on disk.
    const QString icons = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("resources/icons");
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(icons).arg(size);
        QDir().mkpath(folder);
        ok &= save(applicationIcon(size), folder + QStringLiteral("/app.grinsley.Grinsley.png"));
    }
    return ok ? 0 : 1;
}
