#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/ViewController.h"

class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;

namespace grinsley::platform {

// The photo library: a grid of the user's photos (Pictures and the folders in it, newest first; the bundled
// samples when it holds none), with Browse for a photo elsewhere and Cancel. The folder is read and the
// thumbnails made on a worker, the grid filling as they come; thumbnails are kept in the cache folder, so a
// second look costs a file read each. Picking hands the delegate the file's path; reading it is the caller's.
class PhotoPicker : public ViewController {
    Q_OBJECT
public:
    // The picker may be gone by the time a file is chosen in the Browse dialog: then it is null here.
    std::function<void(PhotoPicker*, const QString& path)> didFinishPickingFile;
    std::function<void(PhotoPicker*)> didCancel;

    explicit PhotoPicker(QWidget* parent = nullptr);
    ~PhotoPicker() override;

    // Where a Browse dialog is shown (the picker itself may be in a popover that closes when it opens).
    void setDialogHost(QWidget* host) { _dialogHost = host; }
    // A file dialog for photos anywhere; returns at once.
    void browse();

    QListWidget* grid() const { return _grid; }
    QPushButton* browseButton() const { return _browse; }
    QPushButton* cancelButton() const { return _cancel; }
    QFileDialog* browseDialog() const;
    // The photos listed, in the grid's order, and how many show their thumbnail yet.
    QStringList photos() const { return _photos; }
    int thumbnailsShown() const { return _thumbnailsShown; }

    // The photos offered, newest first, at most `limit` of them.
    static QStringList libraryPhotos(int limit = 2000);
    // The folder a Browse dialog opens in.
    static QString startFolder();
    // A square thumbnail of the photo, upright, from the cache when it is there; null when it cannot be read.
    static QImage thumbnail(const QString& path, int side);
    static QString thumbnailFolder();

    static constexpr int thumbnailSide = 160;
    // Pickers' workers still reading (a closed picker's ends after its current thumbnail).
    static int workersRunning();
    // A file dialog in the program's dark look, fitted to the host's window (on a phone's width, only what
    // choosing a file needs). Save As uses it too.
    static void fitBrowseDialog(QFileDialog* dialog, QWidget* host);

protected:
    void keyPressEvent(QKeyEvent* event) override; // Escape cancels
    bool eventFilter(QObject* watched, QEvent* event) override; // the grid's width

private:
    // Columns of thumbnails that fill the grid's width, no strip left over at the side.
    void fitGrid();
    void showPhotos(const QStringList& photos);
    void showThumbnail(int row, const QImage& image);

    QListWidget* _grid = nullptr;
    QLabel* _empty = nullptr;
    QPushButton* _browse = nullptr;
    QPushButton* _cancel = nullptr;
    QPointer<QWidget> _dialogHost;
    QPointer<QFileDialog> _dialog;
    QStringList _photos;
    int _thumbnailsShown = 0;
    bool _picked = false;
    std::shared_ptr<std::atomic<bool>> _gone = std::make_shared<std::atomic<bool>>(false);
};

} // namespace grinsley::platform
