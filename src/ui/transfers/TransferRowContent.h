#pragma once

#include "app/transfers/TransferTask.h"
#include "ui/theme/ThemeColor.h"

#include <QMetaType>
#include <QString>

namespace tarn {

// What one task row of the transfer panel shows: icon, title, progress, the detail
// line and which buttons it offers. Made from the task each time the row is drawn,
// so a row always shows the task as it is now; a row whose task has left the queue
// (dismissed, not yet rebuilt away) shows the empty content: nothing but its space.
struct TransferRowContent {
    bool hasTask = false;
    QString iconName;  // a symbol of the icon set, by kind
    ThemeColor iconTint = ThemeColor::secondaryLabel;
    QString title;
    QString detail;
    QString detailToolTip;  // the whole failure text, which the row may cut short
    double fraction = 0;
    bool showsProgress = false;
    bool showsRetry = false;
    bool showsCancel = false;

    static TransferRowContent of(const TransferTask& task);

    // "2 / 5 items", then two spaces and the speed while an upload or download moves.
    static QString runningDetail(const TransferTask& task);
    // "5 / 5 items · Done", then " · avg 1.5 MB/s" when bytes moved over a measurable time.
    static QString finishedDetail(const TransferTask& task);

    bool operator==(const TransferRowContent&) const = default;
};

}  // namespace tarn

Q_DECLARE_METATYPE(tarn::TransferRowContent)
