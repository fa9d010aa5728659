#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
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

// A smooth, everywhere-different photo: neighbouring pixels are close, distant ones differ.
QImage gradientPhoto(QSize size);

// The largest difference of any channel between two pixels.
int channelDistance(QRgb a, QRgb b);

} // namespace grinsley::testing
