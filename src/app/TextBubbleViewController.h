#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QGraphicsItem;
#include <QGraphicsObject>
class QGraphicsTextItem;

namespace grinsley {

class ChildViewControllerSupport;
class TextBubbleView;

// The phone's hint: a bubble with the text, laid on the canvas at its top-left corner, under a root as large
// as the window that takes every tap: any tap closes the hint and does nothing else.
class TextBubbleViewController : public QObject {
    Q_OBJECT
public:
    static constexpr qreal bubbleWidth = 200;
    static constexpr qreal bubbleHeight = 100;

    explicit TextBubbleViewController(QObject* parent = nullptr);
    ~TextBubbleViewController() override;

    QString text() const { return _text; }
    void setText(const QString& text);
    ChildViewControllerSupport* delegate() const { return _delegate; }
    void setDelegate(ChildViewControllerSupport* delegate) { _delegate = delegate; }

    // Builds the views (once) covering an area of the given size, and puts them on the parent item.
    void loadView(QSizeF applicationFrame, QGraphicsItem* parentItem);
    // The window changed size: the area that takes the taps follows it.
    void setApplicationFrame(QSizeF applicationFrame);
    QGraphicsObject* view() const { return _root; }
    TextBubbleView* bubbleView() const { return _bubble; }
    QGraphicsTextItem* textLabel() const { return _textLabel; }

    void touchOccurred();
    void cleanupView();

private:
    QString _text;
    ChildViewControllerSupport* _delegate = nullptr; // not owned: the editor
    QPointer<QGraphicsObject> _root; // owned: deleted with this controller, unless its scene went first
    TextBubbleView* _bubble = nullptr; // the root's children
    QGraphicsTextItem* _textLabel = nullptr;
};

} // namespace grinsley
