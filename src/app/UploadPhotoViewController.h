#pragma once

#include <QImage>

#include "platform/ViewController.h"

class QLabel;
class QPushButton;

namespace grinsley {

// The upload screen: the photo the editor hands in, Upload and Cancel. Nothing opens it in the program as it
// stands, and Upload does nothing; Cancel closes it.
class UploadPhotoViewController : public platform::ViewController {
    Q_OBJECT
public:
    explicit UploadPhotoViewController(QWidget* parent = nullptr);
    ~UploadPhotoViewController() override;

    QLabel* imageView() const { return _imageView; }
    QPushButton* uploadButton() const { return _uploadButton; }
    QPushButton* cancelButton() const { return _cancelButton; }
    const QImage& displayImage() const { return _displayImage; }
    void setDisplayImage(const QImage& image);

    void viewDidLoad() override;
    void startUpload() {}
    void cancelUpload();
    void cleanupView();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showImage();

    QLabel* _imageView = nullptr;
    QPushButton* _uploadButton = nullptr;
    QPushButton* _cancelButton = nullptr;
    QImage _displayImage;
};

} // namespace grinsley
