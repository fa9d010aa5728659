#include "ActivityIndicator.h"

#include <QPainter>
#include <QTimer>

namespace grinsley::platform {

ActivityIndicator::ActivityIndicator(QWidget* parent) : QWidget(parent), _timer(new QTimer(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    _timer->setInterval(80);
    connect(_timer, &QTimer::timeout, this, [this] {
        _step = (_step + 1) % 12;
        update();
    });
    hide();
}

void ActivityIndicator::startAnimating() {
    show();
    raise();
    _timer->start();
}

void ActivityIndicator::stopAnimating() {
    _timer->stop();
    hide();
}

bool ActivityIndicator::isAnimating() const { return _timer->isActive(); }

void ActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRoundedRect(rect(), 10, 10);
    p.translate(width() / 2.0, height() / 2.0);
    const qreal r = std::min(width(), height()) * 0.32;
    for (int i = 0; i < 12; ++i) {
        const int age = (_step - i + 12) % 12;
        p.setPen(QPen(QColor(255, 255, 255, 255 - age * 18), r * 0.22, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, -r * 0.55), QPointF(0, -r));
        p.rotate(30);
    }
}

} // namespace grinsley::platform
