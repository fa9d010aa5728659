#pragma once

#include <functional>

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

namespace grinsley::platform {

// A message with buttons over the screen. Showing it returns at once; a button closes it and reports its
// index (the cancel button is 0); closed any other way, it reports -1.
class AlertView {
public:
    using Clicked = std::function<void(int buttonIndex)>;

    AlertView(QString title, QString message, QString cancelButton, QStringList otherButtons = {},
              Clicked clicked = {});

    void show();

    // The alerts on screen now, oldest first: what a user (or a test) would see.
    static QList<QMessageBox*> visibleAlerts();

private:
    static void fitInto(QMessageBox* box, QWidget* window);

    QString _title;
    QString _message;
    QString _cancelButton;
    QStringList _otherButtons;
    Clicked _clicked;
};

} // namespace grinsley::platform
