#include "ShapePickerViewController.h"

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QToolButton>

#include "app/ChildViewControllerSupport.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "ui_ShapePickerView.h"

namespace grinsley {

namespace {
QIcon artwork(const char* name) {
    const platform::Image image = platform::Bundle::imageNamed(QLatin1String(name));
    QPixmap pixmap = QPixmap::fromImage(image.bitmap());
    pixmap.setDevicePixelRatio(image.scale());
    return QIcon(pixmap);
}
} // namespace

ShapePickerViewController::ShapePickerViewController(const QString&, QWidget* parent) : ViewController(parent) {
    setObjectName(QStringLiteral("shapePicker"));
    Ui::ShapePickerView ui;
    ui.setupUi(this);
    _imageListView = ui.imageListView;
    _button1 = ui.button1;
    _button2 = ui.button2;
    _button1->setIcon(artwork("ShapeEllipse"));
    _button2->setIcon(artwork("ShapeRectangle"));
    connect(_button1, &QToolButton::clicked, this, &ShapePickerViewController::button1Touched);
    connect(_button2, &QToolButton::clicked, this, &ShapePickerViewController::button2Touched);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#shapePicker { background: rgba(0, 0, 0, 110); }"));
    // On a tablet the popover's content is exactly the panel.
    if (platform::Device::isTablet()) {
        setStyleSheet(QString());
        setFixedSize(_imageListView->size());
        _imageListView->move(0, 0);
    }
}

void ShapePickerViewController::viewWillAppear(bool) {
    _buttonNumPressed = 0;
    _closing = false;
    displayView();
}

void ShapePickerViewController::displayView() {
    if (platform::Device::isTablet())
        return;
    const int h = _imageListView->height();
    // A desktop window may have any width: the panel spans it.
    _imageListView->setGeometry(0, height(), width(), h);
    if (!_fade) {
        _fade = new QGraphicsOpacityEffect(this);
        setGraphicsEffect(_fade);
    }
    _fade->setOpacity(0);
    slide(slideInName, 1, height() - h);
}

void ShapePickerViewController::button1Touched() { pressed(1); }
void ShapePickerViewController::button2Touched() { pressed(2); }

void ShapePickerViewController::pressed(int button) {
    if (_closing)
        return;
    _buttonNumPressed = button;
    closeView();
}

void ShapePickerViewController::cancel() { pressed(0); }

void ShapePickerViewController::mousePressEvent(QMouseEvent* event) {
    if (_imageListView && !_imageListView->geometry().contains(event->position().toPoint()))
        cancel();
}

void ShapePickerViewController::closeView() {
    _closing = true;
    if (platform::Device::isTablet()) {
        if (_delegate)
            _delegate->closeChildViewController(this);
        return;
    }
    slide(slideOutName, 0, height());
    connect(_slide, &QAbstractAnimation::finished, this, &ShapePickerViewController::viewMovedOffScreen);
}

void ShapePickerViewController::viewMovedOffScreen() {
    if (_delegate)
        _delegate->closeChildViewController(this);
}

void ShapePickerViewController::slide(const QString& name, qreal toOpacity, int toY) {
    if (_slide)
        _slide->stop();
    auto* group = new QParallelAnimationGroup(this);
    group->setObjectName(name);
    auto* fade = new QPropertyAnimation(_fade, "opacity", group);
    fade->setDuration(slideMilliseconds);
    fade->setEndValue(toOpacity);
    auto* move = new QPropertyAnimation(_imageListView, "geometry", group);
    move->setDuration(slideMilliseconds);
    move->setEndValue(QRect(0, toY, _imageListView->width(), _imageListView->height()));
    group->addAnimation(fade);
    group->addAnimation(move);
    _slide = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void ShapePickerViewController::cleanupView() {
    _imageListView = nullptr;
    _button1 = _button2 = nullptr;
}

} // namespace grinsley
