#pragma once

#include <QWidget>

class QTimer;

namespace grinsley::platform {

// A large white spinner that turns while something loads; hidden when stopped.
class ActivityIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ActivityIndicator(QWidget* parent = nullptr);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* _timer = nullptr;
    int _step = 0;
};

} // namespace grinsley::platform
