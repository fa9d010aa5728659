#pragma once

#include <optional>

#include <QFileDialog>
#include <QImage>

#include "platform/PhotoMetadata.h"

class QSlider;

namespace grinsley {

// Save As: the program's own dark file dialog, fitted to the window (a phone's too), with a name, a folder
// and a format (JPEG with a quality slider, PNG or WebP). Shown with open(), never exec().
class SaveAsDialog : public QFileDialog {
    Q_OBJECT
public:
    static constexpr int defaultQuality = 92;
    static inline const QString jpegFilter = QStringLiteral("JPEG (*.jpg *.jpeg)");
    static inline const QString pngFilter = QStringLiteral("PNG (*.png)");
    static inline const QString webpFilter = QStringLiteral("WebP (*.webp)");

    SaveAsDialog(QWidget* host, const QString& folder, const QString& name);

    QSlider* qualitySlider() const { return _quality; }
    // "jpg", "png" or "webp": the chosen filter's.
    QString format() const;
    int quality() const;

    // The path as chosen, given the format's suffix when it has none of its own.
    static QString withSuffix(const QString& path, const QString& format);
    // Encodes and writes (whole or not at all), with the metadata kept; the reason when it could not.
    static std::optional<QString> write(const QImage& photo, const QString& path, const QString& format, int quality,
                                        const platform::PhotoMetadata& metadata, bool keepLocation);

private:
    QSlider* _quality = nullptr;
};

} // namespace grinsley
