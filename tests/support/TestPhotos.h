#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>

namespace grinsley::testing {

// A photo whose four quadrants are red (top left), green (top right), blue (bottom left) and yellow
// (bottom right), so any turn or mirror shows.
QImage quadrantPhoto(QSize size);
QColor quadrantColour(int quadrant); // 0 top left, 1 top right, 2 bottom left, 3 bottom right

// JPEG bytes of the image with an EXIF orientation (1 to 8) in an APP1 segment, as a camera writes them.
QByteArray jpegWithExifOrientation(const QImage& image, int exifOrientation);

// Writes a quadrant photo as a JPEG row by row with the system codec, never holding the whole bitmap: big
// photos cost no memory. CMYK as the common editors write it (inverted, with an Adobe marker).
bool writeQuadrantJpeg(const QString& path, QSize size, int exifOrientation = 0, bool cmyk = false);
// The same, as a camera writes it: also the date taken (2026:05:04 12:34:56), the make ("Grinsley Optics") and
// model ("Test One"), a GPS location and a Display P3 colour profile.
bool writeCameraJpeg(const QString& path, QSize size, int exifOrientation);

// A smooth, everywhere-different photo: neighbouring pixels are close, distant ones differ.
QImage gradientPhoto(QSize size);

// The largest difference of any channel between two pixels.
int channelDistance(QRgb a, QRgb b);

} // namespace grinsley::testing

namespace grinsley::testing {

// A photograph from the sample photos the set-up fetched (astronaut.png: one face; coffee.png and
// chelsea.png: none). Fails the test when it is missing.
QImage samplePhotograph(const QString& name);
// A photograph of people from the hand-marked face set (see FaceSet.h), by its file name.
QImage facePhotograph(const QString& name);

// Two real faces side by side: the astronaut as she is at (0, 24), and beside her, from x 560, a mirrored,
// darker copy at 0.85 of her size, both on grey. Where a point of the astronaut photo lands in each copy.
QImage twoFacePhoto();
QPointF inLeftCopy(QPointF astronautPoint);
QPointF inRightCopy(QPointF astronautPoint);
inline constexpr double rightCopyScale = 0.85;

} // namespace grinsley::testing
