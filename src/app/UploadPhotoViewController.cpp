#include "UploadPhotoViewController.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include "app/GrinsleyCommon.h"
#include "platform/Bundle.h"
#include "ui_UploadPhotoView.h"

namespace grinsley {

UploadPhotoViewController::UploadPhotoViewController(QWidget* parent) : ViewController(parent) {
    Ui::UploadPhotoView ui; // the interface file "UploadPhotoView"
    ui.setupUi(this);
    setObjectName(QStringLiteral("UploadPhotoView"));
    setAttribute(Qt::WA_StyledBackground);
    _imageView = ui.imageView;
    _uploadButton = ui.uploadButton;
    _cancelButton = ui.cancelButton;
    connect(_uploadButton, &QPushButton::clicked, this, &UploadPhotoViewController::startUpload);
    connect(_cancelButton, &QPushButton::clicked, this, &UploadPhotoViewController::cancelUpload);
}

UploadPhotoViewController::~UploadPhotoViewController() { cleanupView(); }

void UploadPhotoViewController::viewDidLoad() {
    GrinsleyCommon::configureButtonBackground(_uploadButton, platform::Bundle::pathForResource(QStringLiteral("Blue button@2x"), QStringLiteral("png")));
    GrinsleyCommon::configureButtonBackground(_cancelButton, platform::Bundle::pathForResource(QStringLiteral("Red button@2x"), QStringLiteral("png")));
    for (QPushButton* button : {_uploadButton, _cancelButton}) {
        button->setMinimumWidth(280);
        button->setMaximumWidth(420); // a tablet's width would make bars of them
        if (layout())
            layout()->setAlignment(button, Qt::AlignHCenter);
    }
    showImage();
}

void UploadPhotoViewController::setDisplayImage(const QImage& image) {
    _displayImage = image;
    showImage();
}

// Closed by the screen that presented it (a modal screen hangs from the window, not from its presenter).
void UploadPhotoViewController::cancelUpload() {
    for (QWidget* top : QApplication::topLevelWidgets())
        for (auto* presenter : top->findChildren<platform::ViewController*>())
            if (presenter->modalViewController() == this) {
                presenter->dismissModalViewController(true);
                return;
            }
}

void UploadPhotoViewController::cleanupView() { _displayImage = QImage(); }

void UploadPhotoViewController::resizeEvent(QResizeEvent* event) {
    ViewController::resizeEvent(event);
    showImage();
}

void UploadPhotoViewController::showImage() {
    if (!_imageView || _displayImage.isNull() || _imageView->width() < 2)
        return;
    _imageView->setPixmap(QPixmap::fromImage(_displayImage.scaled(_imageView->size() - QSize(2, 2), Qt::KeepAspectRatio,
                                                                  Qt::SmoothTransformation)));
}

} // namespace grinsley
