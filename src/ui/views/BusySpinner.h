#pragma once

#include <QTimer>
#include <QWidget>

namespace tarn {

// A small spinning wheel for work of unknown length; it takes no room on screen
// while stopped (hidden).
class BusySpinner : public QWidget {
    Q_OBJECT

public:
    static constexpr int diameter = 16;

    explicit BusySpinner(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

}  // namespace tarn
