#pragma once

#include <functional>

#include <QFrame>
#include <QStringList>

class QVBoxLayout;

namespace grinsley::platform {

// A sheet of buttons: on a phone it slides up over the bottom of a screen (the cancel button last); on a
// tablet it floats beside the control that opened it and a tap outside dismisses it with index -1.
class ActionSheet : public QFrame {
    Q_OBJECT
public:
    std::function<void(ActionSheet*, int)> clickedButtonAtIndex;
    std::function<void(ActionSheet*, int)> didDismissWithButtonIndex;

    ActionSheet(QString title, QString cancelButton, QString destructiveButton, QStringList otherButtons);

    int tag() const { return _tag; }
    void setTag(int tag) { _tag = tag; }
    // Adds a button after the others and returns its index.
    int addButtonWithTitle(const QString& title);
    int cancelButtonIndex() const { return _cancelIndex; }
    void setCancelButtonIndex(int index);
    int numberOfButtons() const { return int(_titles.size()); }
    QString buttonTitleAtIndex(int index) const { return _titles.value(index); }
    QString title() const { return _title; }

    void showInView(QWidget* view);
    // Floats the sheet next to the anchor (a toolbar button), as a tablet shows it.
    void showFromWidget(QWidget* anchor);
    void dismissWithClickedButtonIndex(int index, bool animated);

protected:
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString _title;
    QStringList _titles;
    QVBoxLayout* _layout = nullptr;
    int _cancelIndex = -1;
    int _tag = 0;
    bool _dismissed = false;
};

} // namespace grinsley::platform
