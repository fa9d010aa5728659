#include "TextBubbleViewController.h"

#include <QEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsTextItem>
#include <QTextDocument>
#include <QTextOption>

#include "app/ChildViewControllerSupport.h"
#include "app/TextBubbleView.h"

namespace grinsley {

namespace {
// A transparent button covering the window: a tap ends anywhere on it, touch or mouse, and is used up.
class TapRoot : public QGraphicsObject {
public:
    TapRoot(QSizeF size, std::function<void()> tapped) : _size(size), _tapped(std::move(tapped)) {
        setAcceptTouchEvents(true);
        setAcceptedMouseButtons(Qt::AllButtons);
    }
    QRectF boundingRect() const override { return {QPointF(0, 0), _size}; }
    void setSize(QSizeF size) {
        prepareGeometryChange();
        _size = size;
    }
    void paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) override {}

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override {
        if (boundingRect().contains(event->pos()))
            _tapped();
    }
    bool sceneEvent(QEvent* event) override {
        switch (event->type()) {
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
            event->accept();
            return true;
        case QEvent::TouchEnd:
            event->accept();
            _tapped();
            return true;
        default:
            return QGraphicsObject::sceneEvent(event);
        }
    }

private:
    QSizeF _size;
    std::function<void()> _tapped;
};
} // namespace

TextBubbleViewController::TextBubbleViewController(QObject* parent) : QObject(parent) {}

TextBubbleViewController::~TextBubbleViewController() {
    delete _root.data(); // takes the bubble and the label with it
    cleanupView();
}

void TextBubbleViewController::setApplicationFrame(QSizeF applicationFrame) {
    if (_root)
        static_cast<TapRoot*>(_root.data())->setSize(applicationFrame);
}

void TextBubbleViewController::setText(const QString& text) {
    _text = text;
    if (_textLabel)
        _textLabel->setPlainText(text);
}

void TextBubbleViewController::loadView(QSizeF applicationFrame, QGraphicsItem* parentItem) {
    if (_root)
        return;
    _root = new TapRoot(applicationFrame, [this] { touchOccurred(); });
    _root->setParentItem(parentItem);
    _root->setZValue(1000); // over the selection, so no tap reaches it
    _bubble = new TextBubbleView(QRectF(0, 0, bubbleWidth, bubbleHeight), _root);
    // The label: white, up to three lines, centred vertically in its frame (10, 0, 190, 100).
    _textLabel = new QGraphicsTextItem(_root);
    _textLabel->setDefaultTextColor(Qt::white);
    _textLabel->setTextWidth(bubbleWidth - 10);
    _textLabel->document()->setDocumentMargin(4);
    _textLabel->setAcceptedMouseButtons(Qt::NoButton);
    _textLabel->setPlainText(_text);
    _textLabel->setPos(10, (bubbleHeight - _textLabel->boundingRect().height()) / 2);
}

void TextBubbleViewController::touchOccurred() {
    if (_delegate)
        _delegate->closeChildViewController(this);
}

void TextBubbleViewController::cleanupView() {
    _root = nullptr;
    _bubble = nullptr;
    _textLabel = nullptr;
    _text.clear();
    _delegate = nullptr;
}

} // namespace grinsley
