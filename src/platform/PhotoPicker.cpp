#include "PhotoPicker.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>

#include "platform/Bundle.h"
#include "platform/Directories.h"

namespace grinsley::platform {

namespace {
const QStringList photoPatterns{QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png"),
                                QStringLiteral("*.JPG"), QStringLiteral("*.JPEG"), QStringLiteral("*.PNG")};
}

PhotoPicker::PhotoPicker(QObject* parent) : QObject(parent) {}

PhotoPicker::~PhotoPicker() { delete _dialog.data(); }

QString PhotoPicker::startFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && !QDir(pictures).entryList(photoPatterns, QDir::Files).isEmpty())
        return pictures;
    // An empty library: offer the bundled samples, copied where a file dialog can reach them.
    const QString samples = Directories::caches() + QStringLiteral("/Sample photos");
    QDir().mkpath(samples);
    const QString sample = samples + QStringLiteral("/Sample1.jpg");
    if (!QFile::exists(sample))
        QFile::copy(Bundle::pathForResource(QStringLiteral("Sample1"), QStringLiteral("jpg")), sample);
    return samples;
}

void PhotoPicker::show(QWidget* window) {
    if (_dialog) {
        _dialog->raise();
        return;
    }
    auto* dialog = new QFileDialog(window, tr("Choose a Photo"), startFolder(),
                                   tr("Photos (%1)").arg(photoPatterns.join(QLatin1Char(' '))));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    _dialog = dialog;
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (didFinishPickingFile)
            didFinishPickingFile(this, path);
    });
    connect(dialog, &QFileDialog::rejected, this, [this] {
        if (didCancel)
            didCancel(this);
    });
    dialog->open(); // never exec()
}

void PhotoPicker::dismiss() {
    if (_dialog)
        _dialog->close();
}

bool PhotoPicker::isVisible() const { return _dialog && _dialog->isVisible(); }

} // namespace grinsley::platform
