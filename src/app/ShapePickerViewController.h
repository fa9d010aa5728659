#pragma once

#include <QPointer>

#include "platform/ViewController.h"

#include <QAbstractAnimation>

class QGraphicsOpacityEffect;
class QToolButton;

namespace grinsley {

class ChildViewControllerSupport;

// The Shapes command's panel of two buttons: the ellipse (1) and the rectangle (2). On a phone the panel
// slides up from the bottom of the editor over a fading backdrop and down again when a button is pressed; on
// a tablet it is the content of a popover and hands the choice back at once.
class ShapePickerViewController : public platform::ViewController {
    Q_OBJECT
public:
    static constexpr int slideMilliseconds = 300;
    static inline const QString slideInName = QStringLiteral("slideIn");
    static inline const QString slideOutName = QStringLiteral("slideOut");

    explicit ShapePickerViewController(const QString& interfaceFile = QStringLiteral("ShapePickerView"),
                                       QWidget* parent = nullptr);

    QWidget* imageListView() const { return _imageListView; }
    QToolButton* button1() const { return _button1; }
    QToolButton* button2() const { return _button2; }
    ChildViewControllerSupport* delegate() const { return _delegate; }
    void setDelegate(ChildViewControllerSupport* delegate) { _delegate = delegate; }
    int buttonNumPressed() const { return _buttonNumPressed; }

    void viewWillAppear(bool animated) override;
    void displayView();
    void button1Touched();
    void button2Touched();
    void closeView();
    // Closes the panel choosing nothing (Escape, a tap on the dimmed backdrop): the shape stays as it is.
    void cancel();
    void viewMovedOffScreen();
    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation) const override { return true; }
    void cleanupView();

    // The slide under way, if any (its name is slideIn or slideOut).
    QAbstractAnimation* currentSlide() const { return _slide; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void pressed(int button);
    void slide(const QString& name, qreal toOpacity, int toY);

    QWidget* _imageListView = nullptr;
    QToolButton* _button1 = nullptr;
    QToolButton* _button2 = nullptr;
    QGraphicsOpacityEffect* _fade = nullptr;
    ChildViewControllerSupport* _delegate = nullptr; // not owned: the editor
    int _buttonNumPressed = 0;
    bool _closing = false; // a press during the slide-out must not hand back twice
    QPointer<QAbstractAnimation> _slide;
};

} // namespace grinsley
