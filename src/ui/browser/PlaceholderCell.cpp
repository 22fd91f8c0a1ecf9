#include "ui/browser/PlaceholderCell.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/BrandProgressBar.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferTask.h"

#include <QFontMetrics>
#include <QRegularExpression>

namespace tarn {

PlaceholderCell PlaceholderCell::make(const TransferTask& task, const QRect& cell)
{
    PlaceholderCell made;
    switch (task.state) {
    case TransferState::succeeded:
        made.look = Look::succeeded;
        break;
    case TransferState::failed:
    case TransferState::cancelled:
        made.look = Look::failed;
        break;
    case TransferState::waiting:
    case TransferState::running:
        made.look = Look::active;
        break;
    }
    made.fraction = BrandProgressBar::clamp(task.fraction());
    made.showsBar = made.look != Look::succeeded;
    made.showsCheck = made.look == Look::succeeded;
    made.showsButtons = made.look == Look::failed;
    if (task.isFolder && made.look != Look::succeeded) {
        made.counter = QString::number(task.unitsDone) + QLatin1Char('/') + QString::number(task.unitsTotal);
    }

    // Right to left from the trailing inset, each part centred vertically.
    int right = cell.right() + 1 - trailingInset;
    const auto place = [&](int width, int height) {
        const QRect placed(right - width, cell.top() + (cell.height() - height) / 2, width, height);
        right -= width + spacing;
        return placed;
    };
    if (made.showsButtons) {
        made.removeRect = place(buttonSize, buttonSize);
        made.retryRect = place(buttonSize, buttonSize);
    }
    if (made.showsCheck) {
        made.checkRect = place(checkSize, checkSize);
    }
    if (made.showsBar) {
        made.barRect = place(barWidth, barHeight);
    }
    if (!made.counter.isEmpty()) {
        const QFontMetrics metrics(TarnTheme::font(11));
        made.counterRect = place(metrics.horizontalAdvance(made.counter), metrics.height());
    }
    made.trailingStart = right + spacing;
    return made;
}

bool PlaceholderCell::hasFailed(const TransferTask& task)
{
    return task.state == TransferState::failed || task.state == TransferState::cancelled;
}

QString PlaceholderCell::failureReason(const TransferTask& task)
{
    if (!hasFailed(task)) {
        return {};
    }
    if (!task.errorText || task.errorText->trimmed().isEmpty()) {
        return L10n::t(task.state == TransferState::cancelled ? QStringLiteral("transfer_cancelled")
                                                              : QStringLiteral("unknown_error"));
    }
    static const QRegularExpression codes(QStringLiteral(" \\((?:curl|errno) -?\\d+\\)"));
    QString reason = *task.errorText;
    reason.remove(codes);
    return reason;
}

}  // namespace tarn
