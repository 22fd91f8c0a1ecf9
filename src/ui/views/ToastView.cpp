#include "ui/views/ToastView.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/Animations.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/IconView.h"
#include "ui/views/WrappingLabel.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPointer>

#include <utility>

namespace tarn {

ToastView::ToastView(const ToastMessage& message, std::function<void(ToastView*)> onGone, QWidget* parent)
    : TintedBlurView(0.92, parent)
    , m_kind(message.kind)
    , m_onGone(std::move(onGone))
{
    setCornerRadius(10);
    setBorderColor(TarnTheme::color(ThemeColor::hairlineBorder));
    setMaximumWidth(maximumWidth);
    setCursor(Qt::PointingHandCursor);

    const bool error = message.kind == ToastKind::error;
    auto* icon = new IconView(error ? QStringLiteral("exclamationmark.triangle.fill") : QStringLiteral("info.circle.fill"),
                              14, TarnTheme::color(error ? ThemeColor::systemRed : ThemeColor::systemBlue), this);
    icon->setFixedWidth(16);

    m_label = new WrappingLabel(message.text, 3, this);
    m_label->setFont(TarnTheme::font(12));
    m_label->setColor(TarnTheme::color(ThemeColor::label));

    auto* close = new ClosureButton(QString(), [toast = QPointer<ToastView>(this)] {
        if (toast) {
            toast->dismiss();
        }
    }, this);
    close->setFlat(true);
    close->setFocusPolicy(Qt::NoFocus);
    close->setIcon(MingCute::icon(QStringLiteral("xmark"), TarnTheme::color(ThemeColor::secondaryLabel)));
    close->setIconSize(MingCute::iconSize(10));
    close->setFixedSize(14, 14);
    m_closeButton = close;

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 9, 10, 9);
    layout->setSpacing(0);
    layout->addWidget(icon, 0, Qt::AlignVCenter);
    layout->addSpacing(8);
    layout->addWidget(m_label, 1);
    layout->addSpacing(10);
    layout->addWidget(close, 0, Qt::AlignVCenter);

    m_dismissTimer.setSingleShot(true);
    m_dismissTimer.setInterval(message.kind == ToastKind::error ? errorLifetimeMs : lifetimeMs);
    connect(&m_dismissTimer, &QTimer::timeout, this, &ToastView::dismiss);
}

QString ToastView::text() const
{
    return m_label->text();
}

void ToastView::appear()
{
    Animations::setOpacity(this, 0);
    // The stay is counted from here, not from the end of the fade-in.
    m_dismissTimer.start();
    Animations::fade(this, 1.0, fadeMs);
}

void ToastView::dismiss()
{
    if (m_dismissed) {
        return;
    }
    m_dismissed = true;
    m_dismissTimer.stop();
    Animations::fade(this, 0.0, fadeMs, [toast = QPointer<ToastView>(this)] {
        if (toast) {
            toast->leave();
        }
    });
}

void ToastView::leave()
{
    hide();
    if (QWidget* container = parentWidget(); container != nullptr && container->layout() != nullptr) {
        container->layout()->removeWidget(this);
    }
    if (m_onGone) {
        m_onGone(this);
    }
    deleteLater();
}

void ToastView::mousePressEvent(QMouseEvent* event)
{
    dismiss();
    event->accept();
}

}  // namespace tarn
