#include "Notice.h"

#include <QTimer>

namespace grinsley::platform {

Notice::Notice(QWidget* over, const QString& text) : QLabel(text, over) {
    setObjectName(QStringLiteral("grinsleyNotice"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setStyleSheet(QStringLiteral("QLabel { background: rgba(20, 21, 24, 225); color: white; font-size: 15px;"
                                 " border: 1px solid #4a4d55; border-radius: 10px; padding: 10px 16px; }"));
    const int width = std::min(over->width() - 40, 420);
    setFixedWidth(std::max(width, 120));
    adjustSize();
    move((over->width() - this->width()) / 2, std::min(over->height() / 6, 120));
}

Notice* Notice::show(QWidget* over, const QString& text, int milliseconds) {
    if (!over)
        return nullptr;
    for (Notice* earlier : over->findChildren<Notice*>(QString(), Qt::FindDirectChildrenOnly))
        earlier->close();
    auto* notice = new Notice(over, text);
    notice->QLabel::show();
    notice->raise();
    QTimer::singleShot(milliseconds, notice, &QWidget::close);
    return notice;
}

void Notice::mousePressEvent(QMouseEvent*) { close(); }

} // namespace grinsley::platform
