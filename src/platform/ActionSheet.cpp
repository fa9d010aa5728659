#include "ActionSheet.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace grinsley::platform {

ActionSheet::ActionSheet(QString title, QString cancelButton, QString destructiveButton, QStringList otherButtons) {
    setObjectName(QStringLiteral("actionSheet"));
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(QStringLiteral("#actionSheet { background: rgba(20,22,26,235); border-top: 1px solid #555; }"
                                 "QLabel { color: #ccc; } QPushButton { min-height: 40px; border-radius: 8px;"
                                 " background: #e8e8ea; font-size: 16px; } QPushButton#destructive { background:"
                                 " #d33; color: white; } QPushButton#cancel { background: #555; color: white; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    if (!title.isEmpty())
        layout->addWidget(new QLabel(title, this), 0, Qt::AlignHCenter);
    QStringList titles;
    if (!destructiveButton.isEmpty())
        titles.append(destructiveButton);
    titles.append(otherButtons);
    if (!cancelButton.isEmpty()) {
        _cancelIndex = int(titles.size());
        titles.append(cancelButton);
    }
    _titles = titles;
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QPushButton(titles.at(i), this);
        if (i == 0 && !destructiveButton.isEmpty())
            button->setObjectName(QStringLiteral("destructive"));
        if (i == _cancelIndex)
            button->setObjectName(QStringLiteral("cancel"));
        connect(button, &QPushButton::clicked, this, [this, i] { dismissWithClickedButtonIndex(i, true); });
        layout->addWidget(button);
    }
}

void ActionSheet::showInView(QWidget* view) {
    setParent(view);
    adjustSize();
    setGeometry(0, view->height() - sizeHint().height(), view->width(), sizeHint().height());
    show();
    raise();
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool) {
    if (index >= 0 && clickedButtonAtIndex)
        clickedButtonAtIndex(this, index);
    hide();
    if (didDismissWithButtonIndex)
        didDismissWithButtonIndex(this, index);
    close();
}

} // namespace grinsley::platform
