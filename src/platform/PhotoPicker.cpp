#include "PhotoPicker.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "platform/Bundle.h"
#include "platform/Directories.h"
#include "platform/MainThread.h"
#include "platform/PhotoFile.h"
#include "platform/Theme.h"

namespace grinsley::platform {

namespace {
const QStringList photoPatterns{QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png"),
                                QStringLiteral("*.JPG"), QStringLiteral("*.JPEG"), QStringLiteral("*.PNG")};

std::atomic<int>& workers() {
    static std::atomic<int> count{0};
    return count;
}

QString samplesFolder() {
    const QString samples = Directories::caches() + QStringLiteral("/Sample photos");
    QDir().mkpath(samples);
    const QString sample = samples + QStringLiteral("/Sample1.jpg");
    if (!QFile::exists(sample))
        QFile::copy(Bundle::pathForResource(QStringLiteral("Sample1"), QStringLiteral("jpg")), sample);
    return samples;
}

// Newest first; the photos of one folder and its sub-folders, at most `limit`.
QStringList photosIn(const QString& folder, int limit) {
    struct Found {
        QString path;
        QDateTime modified;
    };
    std::vector<Found> found;
    QDirIterator it(folder, photoPatterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext() && int(found.size()) < limit * 4) { // a bound on the walk of a huge tree, too
        it.next();
        found.push_back({it.filePath(), it.fileInfo().lastModified()});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.modified > b.modified; });
    QStringList paths;
    for (const Found& f : found) {
        if (paths.size() == limit)
            break;
        paths.append(f.path);
    }
    return paths;
}
} // namespace

PhotoPicker::PhotoPicker(QWidget* parent) : ViewController(parent) {
    setObjectName(QStringLiteral("photoPicker"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(theme::darkPanel("photoPicker", 0) +
                  QStringLiteral("#photoPicker QListWidget { background: #111214; border: none; }"
                                 "#photoPicker QListWidget::item:selected { background: #2c6fd6; }"
                                 "#photoPicker QPushButton { min-height: 36px; padding: 0 12px; }"
                                 "#photoPicker QLabel#title { font-size: 17px; font-weight: bold; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QWidget(this);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 6, 8, 6);
    _browse = new QPushButton(tr("Browse\u2026"), bar);
    auto* title = new QLabel(tr("Photos"), bar);
    title->setObjectName(QStringLiteral("title"));
    title->setAlignment(Qt::AlignCenter);
    _cancel = new QPushButton(tr("Cancel"), bar);
    barLayout->addWidget(_browse);
    barLayout->addWidget(title, 1);
    barLayout->addWidget(_cancel);
    layout->addWidget(bar);

    _grid = new QListWidget(this);
    _grid->setViewMode(QListView::IconMode);
    _grid->setResizeMode(QListView::Adjust);
    _grid->setMovement(QListView::Static);
    _grid->setUniformItemSizes(true);
    _grid->setIconSize(QSize(thumbnailSide / 2, thumbnailSide / 2));
    _grid->setGridSize(QSize(thumbnailSide / 2 + 8, thumbnailSide / 2 + 8));
    _grid->setSpacing(0);
    _grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _grid->viewport()->installEventFilter(this);
    _grid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    layout->addWidget(_grid, 1);
    _empty = new QLabel(tr("Looking for photos\u2026"), this);
    _empty->setAlignment(Qt::AlignCenter);
    layout->addWidget(_empty);

    connect(_cancel, &QPushButton::clicked, this, [this] {
        if (didCancel)
            didCancel(this);
    });
    connect(_browse, &QPushButton::clicked, this, &PhotoPicker::browse);
    // A tap picks; so does Enter. Some styles activate on a click as well: one pick per picker.
    const auto pick = [this](QListWidgetItem* item) {
        if (_picked || !item)
            return;
        _picked = true;
        if (didFinishPickingFile)
            didFinishPickingFile(this, item->data(Qt::UserRole).toString());
    };
    connect(_grid, &QListWidget::itemClicked, this, pick);
    connect(_grid, &QListWidget::itemActivated, this, pick);

    // The folder walk and the thumbnails, off the interface thread; the grid fills as they come.
    QPointer<PhotoPicker> self(this);
    ++workers();
    std::thread([self, gone = _gone] {
        const QStringList photos = libraryPhotos();
        MainThread::post([self, photos] {
            if (self)
                self->showPhotos(photos);
        });
        for (int row = 0; row < photos.size() && !gone->load(); ++row) {
            const QImage image = thumbnail(photos[row], thumbnailSide);
            MainThread::post([self, row, image] {
                if (self)
                    self->showThumbnail(row, image);
            });
        }
        --workers();
    }).detach();
}

void PhotoPicker::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel) && didCancel) {
        event->accept();
        didCancel(this);
        return;
    }
    ViewController::keyPressEvent(event);
}

// A Browse dialog stays: it belongs to its host window, and its choice still counts.
PhotoPicker::~PhotoPicker() { _gone->store(true); }

void PhotoPicker::showPhotos(const QStringList& photos) {
    _photos = photos;
    _empty->setVisible(photos.isEmpty());
    _empty->setText(tr("No photos in your Pictures folder. Browse to find one elsewhere."));
    QPixmap placeholder(_grid->iconSize());
    placeholder.fill(QColor(0x2a, 0x2c, 0x31));
    for (const QString& path : photos) {
        auto* item = new QListWidgetItem(QIcon(placeholder), QString(), _grid);
        item->setData(Qt::UserRole, path);
        item->setToolTip(QFileInfo(path).fileName());
        item->setSizeHint(_grid->gridSize());
    }
}

void PhotoPicker::showThumbnail(int row, const QImage& image) {
    QListWidgetItem* item = _grid->item(row);
    if (!item || image.isNull())
        return;
    item->setIcon(QIcon(QPixmap::fromImage(image)));
    ++_thumbnailsShown;
}

QFileDialog* PhotoPicker::browseDialog() const { return _dialog.data(); }

bool PhotoPicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == _grid->viewport() && event->type() == QEvent::Resize)
        fitGrid();
    return ViewController::eventFilter(watched, event);
}

void PhotoPicker::fitGrid() {
    const int width = _grid->viewport()->width();
    const int columns = std::max(1, width / (thumbnailSide / 2 + 8));
    const int cell = width / columns;
    if (cell <= 0 || _grid->gridSize().width() == cell)
        return;
    _grid->setGridSize(QSize(cell, cell));
    _grid->setIconSize(QSize(cell - 8, cell - 8));
    for (int i = 0; i < _grid->count(); ++i)
        _grid->item(i)->setSizeHint(_grid->gridSize());
}

// Qt's own dialog in the program's dark look, inside the window it belongs to: a list of names (no columns to
// cut off), the places beside it only where the window is wide enough for both.
void PhotoPicker::fitBrowseDialog(QFileDialog* dialog, QWidget* host) {
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setViewMode(QFileDialog::List);
    dialog->setObjectName(QStringLiteral("browseDialog"));
    dialog->setStyleSheet(theme::darkPanel("browseDialog", 0) +
                          QStringLiteral("#browseDialog QListView, #browseDialog QTreeView, #browseDialog QLineEdit,"
                                         " #browseDialog QComboBox, #browseDialog QToolButton {"
                                         " background: #2a2c31; color: #f2f2f4; border: 1px solid %1; border-radius: 6px;"
                                         " selection-background-color: %2; selection-color: white; min-height: 30px; }"
                                         "#browseDialog QComboBox QAbstractItemView { background: #2a2c31; color: #f2f2f4; }"
                                         "#browseDialog QPushButton { min-height: 36px; }")
                              .arg(theme::panelBorder.name(), theme::accent.name()));
    const QSize room = host ? host->window()->size() - QSize(16, 32) : QSize(560, 440);
    const QSize size(std::min(560, room.width()), std::min(440, room.height()));
    dialog->setMinimumSize(0, 0);
    dialog->resize(size);
    // On a phone's width only what choosing a photo needs: no places beside the list, no view or folder buttons.
    const bool narrow = size.width() < 480;
    for (const char* name : {"sidebar", "forwardButton", "newFolderButton", "listModeButton", "detailModeButton"})
        if (auto* part = dialog->findChild<QWidget*>(QLatin1String(name)))
            part->setVisible(!narrow);
    for (const char* name : {"lookInCombo", "fileTypeCombo", "fileNameEdit"})
        if (auto* part = dialog->findChild<QWidget*>(QLatin1String(name))) {
            part->setMinimumWidth(0);
            part->setSizePolicy(QSizePolicy::Ignored, part->sizePolicy().verticalPolicy());
        }
    if (host) {
        const QRect window(host->window()->mapToGlobal(QPoint(0, 0)), host->window()->size());
        dialog->move(window.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void PhotoPicker::browse() {
    if (_dialog) {
        _dialog->raise();
        return;
    }
    QWidget* host = _dialogHost ? _dialogHost.data() : window();
    auto* dialog = new QFileDialog(host, tr("Choose a Photo"), startFolder(),
                                   tr("Photos (%1)").arg(photoPatterns.join(QLatin1Char(' '))));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    fitBrowseDialog(dialog, host);
    _dialog = dialog;
    // The callback is copied: the picker may be closed before the dialog is.
    connect(dialog, &QFileDialog::fileSelected, dialog,
            [self = QPointer<PhotoPicker>(this), picked = didFinishPickingFile](const QString& path) {
                if (picked)
                    picked(self.data(), path);
            });
    dialog->open(); // never exec()
}

int PhotoPicker::workersRunning() { return workers().load(); }

QStringList PhotoPicker::libraryPhotos(int limit) {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QStringList photos = pictures.isEmpty() ? QStringList() : photosIn(pictures, limit);
    return photos.isEmpty() ? photosIn(samplesFolder(), limit) : photos;
}

QString PhotoPicker::startFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir() && !photosIn(pictures, 1).isEmpty())
        return pictures;
    return samplesFolder();
}

QString PhotoPicker::thumbnailFolder() { return Directories::caches() + QStringLiteral("/Thumbnails"); }

QImage PhotoPicker::thumbnail(const QString& path, int side) {
    const QFileInfo info(path);
    // Named by what the thumbnail shows: the file as it is now, at this size.
    const QByteArray key = QCryptographicHash::hash(
        (info.absoluteFilePath() + QLatin1Char('|') + QString::number(info.size()) + QLatin1Char('|') +
         QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('|') + QString::number(side))
            .toUtf8(),
        QCryptographicHash::Sha1);
    const QString cached = thumbnailFolder() + QLatin1Char('/') + QString::fromLatin1(key.toHex()) + QStringLiteral(".jpg");
    QImage image(cached);
    if (!image.isNull())
        return image;
    // Read at the size that covers the square, then cut to it.
    const PhotoFile::Result read = PhotoFile::readUpright(path, [side](QSizeF upright) {
        const qreal scale = std::min(1.0, side / std::min(upright.width(), upright.height()));
        return QSize(std::max(1, int(std::ceil(upright.width() * scale))), std::max(1, int(std::ceil(upright.height() * scale))));
    });
    if (!read.ok())
        return {};
    const QImage& full = read.photo.bitmap();
    const int cut = std::min(full.width(), full.height());
    image = full.copy((full.width() - cut) / 2, (full.height() - cut) / 2, cut, cut).convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(thumbnailFolder()); // only when one is written: reading the cache makes no folder
    image.save(cached, "jpeg", 85);
    return image;
}

} // namespace grinsley::platform
