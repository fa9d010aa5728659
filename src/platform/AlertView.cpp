#include "AlertView.h"

#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Theme.h"

namespace grinsley::platform {

namespace {
constexpr const char* alertName = "grinsleyAlert";
}

AlertView::AlertView(QString title, QString message, QString cancelButton, QStringList otherButtons, Clicked clicked)
    : _title(std::move(title)), _message(std::move(message)), _cancelButton(std::move(cancelButton)),
      _otherButtons(std::move(otherButtons)), _clicked(std::move(clicked)) {}

void AlertView::show() {
    auto* box = new QMessageBox(QApplication::activeWindow());
    box->setObjectName(QLatin1String(alertName));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(_title);
    box->setText(QStringLiteral("<b>%1</b>").arg(_title.toHtmlEscaped()));
    box->setInformativeText(_message);
    box->setWindowModality(Qt::WindowModal);
    // The application's own alert: no window frame of the desktop's, the dark panel, finger-sized buttons.
    box->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box->setStyleSheet(theme::darkPanel(alertName, 0) + QStringLiteral("QMessageBox { min-width: 280px; } QMessageBox QLabel { qproperty-alignment: AlignCenter; }"));
    QList<QAbstractButton*> buttons;
    buttons.append(box->addButton(_cancelButton, QMessageBox::RejectRole));
    for (const QString& other : std::as_const(_otherButtons))
        buttons.append(box->addButton(other, QMessageBox::AcceptRole));
    auto answered = std::make_shared<bool>(false);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [buttons, answered, clicked = _clicked](QAbstractButton* button) {
        *answered = true;
        if (clicked)
            clicked(int(buttons.indexOf(button)));
    });
    // Closed without a button: the owner still hears that the alert is gone.
    QObject::connect(box, &QDialog::finished, box, [answered, clicked = _clicked] {
        if (!*answered && clicked)
            clicked(-1);
    });
    box->open(); // never exec(): the event loop goes on
    fitInto(box, box->parentWidget() ? box->parentWidget()->window() : nullptr);
}

// Qt sizes a message box for a desktop screen; over a narrow window it would stick out on both sides. There it
// takes the window's width less a margin, wraps its text and stacks its buttons.
void AlertView::fitInto(QMessageBox* box, QWidget* window) {
    constexpr int margin = 12;
    if (!window || box->width() <= window->width() - 2 * margin)
        return;
    const int width = window->width() - 2 * margin;
    if (auto* buttons = box->findChild<QDialogButtonBox*>())
        buttons->setOrientation(Qt::Vertical), buttons->setCenterButtons(true);
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setWordWrap(true);
    box->setMinimumSize(0, 0);
    box->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    box->layout()->activate();
    const int height = box->layout()->hasHeightForWidth() ? box->layout()->totalHeightForWidth(width)
                                                            : box->layout()->totalSizeHint().height();
    box->setFixedSize(width, std::min(height, window->height() - 2 * margin));
    const QPoint centre = window->mapToGlobal(window->rect().center());
    box->move(centre - QPoint(box->width() / 2, box->height() / 2));
}

QList<QMessageBox*> AlertView::visibleAlerts() {
    QList<QMessageBox*> out;
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->objectName() == QLatin1String(alertName) && box->isVisible())
            out.append(box);
    }
    return out;
}

} // namespace grinsley::platform
