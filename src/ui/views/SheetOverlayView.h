#pragma once

#include <QWidget>

#include <functional>

namespace tarn {

// The layer that dims the window under an in-window sheet. It covers its parent
// whole and follows its size. Escape, or a press on the dimmed area itself (not on
// the sheet or anything in it), calls onDismiss; without onDismiss both are
// swallowed, so nothing under the sheet reacts.
class SheetOverlayView : public QWidget {
    Q_OBJECT

public:
    explicit SheetOverlayView(QWidget* parent);

    void setOnDismiss(std::function<void()> onDismiss) { m_onDismiss = std::move(onDismiss); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void dismiss();

    std::function<void()> m_onDismiss;
};

}  // namespace tarn
