#include "Notice.h"

#include <QTimer>

#include "platform/Theme.h"

namespace grinsley::platform {

Notice::Notice(QWidget* over, const QString& text) : QLabel(text, over) {
    setObjectName(QStringLiteral("grinsleyNotice"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    // The application's dark panel; the notice is its own label.
    setStyleSheet(theme::darkPanel("grinsleyNotice", 10) +
                  QStringLiteral("#grinsleyNotice { color: #f2f2f4; font-size: 15px; padding: 10px 16px; }"));
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
