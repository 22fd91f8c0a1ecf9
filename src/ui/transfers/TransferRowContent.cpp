#include "ui/transfers/TransferRowContent.h"

#include "app/text/L10n.h"
#include "core/text/ByteFormatter.h"

#include <chrono>

namespace tarn {
namespace {

QString iconOf(TransferKind kind)
{
    switch (kind) {
    case TransferKind::upload:
        return QStringLiteral("arrow.up.circle");
    case TransferKind::download:
        return QStringLiteral("arrow.down.circle");
    case TransferKind::deletion:
        return QStringLiteral("trash");
    case TransferKind::rename:
        return QStringLiteral("arrow.up.right");
    }
    return {};
}

QString unitsText(int done, int total)
{
    return L10n::t(L10n::countKey(QStringLiteral("transfer_units"), total), done, total);
}

QString speedText(double bytesPerSecond)
{
    return QString::fromStdString(ByteFormatter::speedString(bytesPerSecond));
}

}  // namespace

TransferRowContent TransferRowContent::of(const TransferTask& task)
{
    TransferRowContent row;
    row.hasTask = true;
    row.iconName = iconOf(task.kind());
    row.title = QString::fromStdString(task.title);
    row.fraction = task.fraction();
    switch (task.state) {
    case TransferState::waiting:
        row.iconTint = ThemeColor::secondaryLabel;
        row.showsProgress = true;
        row.detail = L10n::t(QStringLiteral("transfer_waiting"));
        row.showsCancel = true;
        break;
    case TransferState::running:
        row.iconTint = ThemeColor::brand;
        row.showsProgress = true;
        row.detail = runningDetail(task);
        row.showsCancel = true;
        break;
    case TransferState::succeeded:
        row.iconTint = ThemeColor::brand;
        row.detail = finishedDetail(task);
        break;
    case TransferState::failed:
        row.iconTint = ThemeColor::systemRed;
        // Whatever the kind: a task that failed without a reason is rare enough that
        // the one generic text serves.
        row.detail = task.errorText && !task.errorText->isEmpty() ? *task.errorText
                                                                  : L10n::t(QStringLiteral("upload_all_failed"));
        row.detailToolTip = row.detail;
        row.showsRetry = true;
        row.showsCancel = true;
        break;
    case TransferState::cancelled:
        row.iconTint = ThemeColor::tertiaryLabel;
        row.detail = L10n::t(QStringLiteral("transfer_cancelled"));
        row.showsRetry = true;
        row.showsCancel = true;
        break;
    }
    return row;
}

QString TransferRowContent::runningDetail(const TransferTask& task)
{
    const QString units = unitsText(task.unitsDone, task.unitsTotal);
    const bool movesBytes = task.kind() == TransferKind::upload || task.kind() == TransferKind::download;
    if (!movesBytes || !(task.speed > 0)) {
        return units;
    }
    return units + QStringLiteral("  ") + speedText(task.speed);
}

QString TransferRowContent::finishedDetail(const TransferTask& task)
{
    const QString separator = QStringLiteral(" · ");
    QString detail = unitsText(task.unitsTotal, task.unitsTotal) + separator + L10n::t(QStringLiteral("transfer_done"));
    if (task.bytesDone <= 0 || !task.startedAt || !task.finishedAt) {
        return detail;
    }
    const double seconds = std::chrono::duration<double>(*task.finishedAt - *task.startedAt).count();
    if (!(seconds > 0.01)) {
        return detail;
    }
    const double average = static_cast<double>(task.bytesDone) / seconds;
    return detail + separator + L10n::t(QStringLiteral("transfer_avg_speed"), speedText(average));
}

}  // namespace tarn
