#pragma once

#include <functional>

#include <QFrame>
#include <QStringList>

namespace grinsley::platform {

// A sheet of buttons sliding up over the bottom of a screen (the cancel button last). A button, or a tap
// outside, dismisses it and reports the index.
class ActionSheet : public QFrame {
    Q_OBJECT
public:
    std::function<void(ActionSheet*, int)> clickedButtonAtIndex;
    std::function<void(ActionSheet*, int)> didDismissWithButtonIndex;

    ActionSheet(QString title, QString cancelButton, QString destructiveButton, QStringList otherButtons);

    int tag() const { return _tag; }
    void setTag(int tag) { _tag = tag; }
    int cancelButtonIndex() const { return _cancelIndex; }
    int numberOfButtons() const { return int(_titles.size()); }
    QString buttonTitleAtIndex(int index) const { return _titles.value(index); }

    void showInView(QWidget* view);
    void dismissWithClickedButtonIndex(int index, bool animated);

private:
    QStringList _titles;
    int _cancelIndex = -1;
    int _tag = 0;
};

} // namespace grinsley::platform
