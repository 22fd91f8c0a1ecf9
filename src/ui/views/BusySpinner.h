#pragma once

#include <QWidget>

namespace tarn {

class LoopingAnimation;

// A small spinning wheel for work of unknown length; it takes no room on screen
// while stopped (hidden), and turns only while it can be seen.
class BusySpinner : public QWidget {
    Q_OBJECT

public:
    static constexpr int diameter = 16;

    explicit BusySpinner(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isSpinning() const;
    // Frames are being drawn: spinning, and the wheel can be seen.
    bool isDrawingFrames() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LoopingAnimation* m_turning;
    int m_step = 0;
};

}  // namespace tarn
