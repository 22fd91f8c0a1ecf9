#pragma once

#include "ui/views/ToastPresenter.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace tarn {

class AppState;
struct ToastMessage;

// Shows what the state tells the user in passing: its toasts stacked at the foot of
// the window over the browser (at most four), its bubble texts above the browser's
// status dot. One per content build, over the build's browser pane.
//
// Until the browser has its status dot, the bubble stands above a small invisible
// stand-in at the browser pane's bottom-left corner, where the dot will be; the
// browser hands over its dot with setBubbleAnchor(), which removes the stand-in.
class FeedbackPresenter : public QObject {
    Q_OBJECT

public:
    // The stand-in's place: this far from the pane's left and bottom edges, this big.
    static constexpr int anchorInset = 14;
    static constexpr int anchorSize = 8;

    FeedbackPresenter(AppState& state, QWidget* browser, QObject* parent = nullptr);
    ~FeedbackPresenter() override;

    // Null once the browser pane is gone.
    ToastPresenter* toasts() const { return m_toasts; }
    QWidget* bubbleAnchor() const { return m_anchor; }
    void setBubbleAnchor(QWidget* anchor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showToast(const ToastMessage& message);
    void showBubble(const QString& text);
    void placeStandIn();

    QPointer<QWidget> m_browser;
    QPointer<ToastPresenter> m_toasts;
    QPointer<QWidget> m_anchor;
    QPointer<QWidget> m_standIn;
};

}  // namespace tarn
