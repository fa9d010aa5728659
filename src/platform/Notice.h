#pragma once

#include <QLabel>

namespace grinsley::platform {

// A short message over a screen that goes away by itself (or at a tap): for news that needs no answer.
class Notice : public QLabel {
    Q_OBJECT
public:
    // Shows the text near the top of `over` for `milliseconds`; an earlier notice there goes first.
    static Notice* show(QWidget* over, const QString& text, int milliseconds = 2500);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    Notice(QWidget* over, const QString& text);
};

} // namespace grinsley::platform
