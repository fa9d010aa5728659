#include "SaveAsDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include "platform/AtomicFile.h"
#include "platform/ImageCodec.h"
#include "platform/PhotoPicker.h"

namespace grinsley {

SaveAsDialog::SaveAsDialog(QWidget* host, const QString& folder, const QString& name) : QFileDialog(host) {
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setWindowTitle(tr("Save As"));
    setNameFilters({jpegFilter, pngFilter, webpFilter});
    setDirectory(folder);
    selectFile(name);
    platform::PhotoPicker::fitBrowseDialog(this, host);
    // The quality, under the file type: the dialog's own grid has room for one more row.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        auto* label = new QLabel(tr("Quality:"), this);
        _quality = new QSlider(Qt::Horizontal, this);
        _quality->setObjectName(QStringLiteral("qualitySlider"));
        _quality->setRange(1, 100);
        _quality->setValue(defaultQuality);
        auto* value = new QLabel(QString::number(defaultQuality), this);
        connect(_quality, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        auto* line = new QHBoxLayout;
        line->addWidget(_quality, 1);
        line->addWidget(value);
        grid->addLayout(line, row, 1, 1, grid->columnCount() - 1);
        // PNG has no quality to choose.
        connect(this, &QFileDialog::filterSelected, this, [this, label](const QString& filter) {
            _quality->setEnabled(filter != pngFilter);
            label->setEnabled(filter != pngFilter);
        });
    }
}

QString SaveAsDialog::format() const {
    const QString filter = selectedNameFilter();
    return filter == pngFilter ? QStringLiteral("png") : filter == webpFilter ? QStringLiteral("webp") : QStringLiteral("jpg");
}

int SaveAsDialog::quality() const { return _quality ? _quality->value() : defaultQuality; }

QString SaveAsDialog::withSuffix(const QString& path, const QString& format) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool own = suffix == format || (format == QLatin1String("jpg") && suffix == QLatin1String("jpeg"));
    return own ? path : path + QLatin1Char('.') + format;
}

std::optional<QString> SaveAsDialog::write(const QImage& photo, const QString& path, const QString& format, int quality,
                                           const platform::PhotoMetadata& metadata, bool keepLocation) {
    using platform::ImageCodec;
    const platform::Image pixels(metadata.withColourProfile(photo));
    const QByteArray encoded = format == QLatin1String("png")    ? ImageCodec::pngRepresentation(pixels)
                               : format == QLatin1String("webp") ? ImageCodec::webpRepresentation(pixels, quality / 100.0)
                                                                 : ImageCodec::jpegRepresentation(pixels, quality / 100.0);
    if (encoded.isEmpty())
        return tr("The photo could not be encoded as %1.").arg(format.toUpper());
    if (!platform::AtomicFile::write(path, metadata.writtenInto(encoded, keepLocation)))
        return tr("The file could not be written.");
    return std::nullopt;
}

} // namespace grinsley
