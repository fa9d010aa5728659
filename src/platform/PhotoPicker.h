#pragma once

#include <functional>

#include <QObject>
#include <QPointer>

#include <QString>

class QFileDialog;
class QWidget;

namespace grinsley::platform {

// The photo library: a file dialog on the user's Pictures folder, or on the bundled sample photos when
// Pictures holds none. Picking hands the delegate the file's path; reading it is the caller's (slow) work.
class PhotoPicker : public QObject {
    Q_OBJECT
public:
    std::function<void(PhotoPicker*, const QString& path)> didFinishPickingFile;
    std::function<void(PhotoPicker*)> didCancel;

    explicit PhotoPicker(QObject* parent = nullptr);
    ~PhotoPicker() override;

    // Shows the dialog over the window; returns at once.
    void show(QWidget* window);
    void dismiss();
    bool isVisible() const;

    // The folder the dialog opens in.
    static QString startFolder();

private:
    QPointer<QFileDialog> _dialog;
};

} // namespace grinsley::platform
