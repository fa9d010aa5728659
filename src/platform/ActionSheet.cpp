#include "ActionSheet.h"

#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QPointer>
#include <QVBoxLayout>

#include "platform/MainThread.h"

namespace grinsley::platform {

ActionSheet::ActionSheet(QString title, QString cancelButton, QString destructiveButton, QStringList otherButtons)
    : _title(std::move(title)) {
    setObjectName(QStringLiteral("actionSheet"));
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(QStringLiteral("#actionSheet { background: rgba(20,22,26,235); border-top: 1px solid #555; }"
                                 "QLabel { color: #ddd; font-size: 15px; } QPushButton { min-height: 40px; border-radius: 8px;"
                                 " background: #e8e8ea; font-size: 16px; } QPushButton#destructive { background:"
                                 " #d33; color: white; } QPushButton#cancel { background: #555; color: white; }"));
    _layout = new QVBoxLayout(this);
    _layout->setContentsMargins(16, 12, 16, 16);
    if (!_title.isEmpty()) {
        auto* label = new QLabel(_title, this);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        _layout->addWidget(label);
    }
    if (!destructiveButton.isEmpty())
        addButtonWithTitle(destructiveButton);
    for (const QString& other : std::as_const(otherButtons))
        addButtonWithTitle(other);
    if (!cancelButton.isEmpty())
        setCancelButtonIndex(addButtonWithTitle(cancelButton));
    if (!destructiveButton.isEmpty())
        findChildren<QPushButton*>().first()->setObjectName(QStringLiteral("destructive"));
}

int ActionSheet::addButtonWithTitle(const QString& title) {
    const int index = int(_titles.size());
    _titles.append(title);
    auto* button = new QPushButton(title, this);
    button->setProperty("index", index);
    connect(button, &QPushButton::clicked, this, [this, index] { dismissWithClickedButtonIndex(index, true); });
    _layout->addWidget(button);
    return index;
}

void ActionSheet::setCancelButtonIndex(int index) {
    _cancelIndex = index;
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->property("index").toInt() == index)
            button->setObjectName(QStringLiteral("cancel"));
    }
}

void ActionSheet::showInView(QWidget* view) {
    setParent(view);
    adjustSize();
    setGeometry(0, view->height() - sizeHint().height(), view->width(), sizeHint().height());
    show();
    raise();
}

void ActionSheet::showFromWidget(QWidget* anchor) {
    setParent(anchor ? anchor->window() : nullptr, Qt::Popup);
    setStyleSheet(styleSheet() + QStringLiteral("#actionSheet { border: 1px solid #666; border-radius: 10px; }"));
    setFixedWidth(320);
    adjustSize();
    const auto place = [this, anchor = QPointer<QWidget>(anchor)] {
        QPoint at = anchor ? anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height())) : QPoint();
        at.rx() -= width() / 2;
        move(at);
    };
    place();
    show();
    // A screen that has just appeared may not have laid out its toolbar yet: place the sheet again once it has.
    MainThread::post([self = QPointer<ActionSheet>(this), place] {
        if (self)
            place();
    });
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool) {
    if (_dismissed)
        return;
    _dismissed = true;
    if (index >= 0 && clickedButtonAtIndex)
        clickedButtonAtIndex(this, index);
    hide();
    if (didDismissWithButtonIndex)
        didDismissWithButtonIndex(this, index);
    close();
}

// A floating sheet closed by a tap outside reports a dismissal without a button.
void ActionSheet::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    if (!_dismissed && isWindow())
        dismissWithClickedButtonIndex(-1, false);
}

} // namespace grinsley::platform
