#include "ActionSheet.h"

#include <algorithm>

#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QPointer>
#include <QVBoxLayout>

#include "platform/MainThread.h"
#include "platform/Popover.h"
#include "platform/Theme.h"

namespace grinsley::platform {

ActionSheet::ActionSheet(QString title, QString cancelButton, QString destructiveButton, QStringList otherButtons)
    : _title(std::move(title)) {
    setObjectName(QStringLiteral("actionSheet"));
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(theme::darkPanel("actionSheet", 0) +
                  QStringLiteral("#actionSheet QPushButton#destructive { background: #d33; }"
                                 "#actionSheet QPushButton#cancel { background: #26282d; border: 1px solid #4a4d55; }"));
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
    setStyleSheet(styleSheet() + QStringLiteral("#actionSheet { border-radius: 12px; }"));
    setFixedWidth(320);
    adjustSize();
    const auto place = [this, anchor = QPointer<QWidget>(anchor)] {
        Popover::placeUnder(this, anchor);
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

void ActionSheet::mousePressEvent(QMouseEvent* event) {
    if (isWindow())
        Popover::passPressToToolbar(this, event);
    QFrame::mousePressEvent(event);
}

// A floating sheet closed by a tap outside reports a dismissal without a button.
void ActionSheet::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    if (!_dismissed && isWindow())
        dismissWithClickedButtonIndex(-1, false);
}

} // namespace grinsley::platform
