#pragma once

#include <QRect>
#include <QString>

namespace tarn {

struct TransferTask;

// Where the parts of a placeholder row's name cell go, and which of them show, for a
// task as it is now: the icon and the name at the leading edge, then at the trailing
// edge, right to left, the remove and retry buttons (a failed or cancelled task), the
// done mark (succeeded), the progress bar (not succeeded) and the folder's counter of
// files ("3/10", while not succeeded). The cell is drawn from this each time, so a
// row follows its task without anything kept per cell.
struct PlaceholderCell {
    enum class Look {
        active,     // waiting or running: brand bar, dimmed name
        failed,     // failed or cancelled: red bar, retry and remove
        succeeded,  // done mark, plain name
    };

    static constexpr int barWidth = 80;
    static constexpr int barHeight = 4;
    static constexpr int trailingInset = 10;
    static constexpr int spacing = 6;
    static constexpr int buttonSize = 18;
    static constexpr int checkSize = 17;
    // The name ends at least this far before the first trailing part.
    static constexpr int nameGap = 8;

    Look look = Look::active;
    QString counter;
    // The task's progress, kept within 0 and 1.
    double fraction = 0;
    bool showsBar = false;
    bool showsCheck = false;
    bool showsButtons = false;
    QRect counterRect;
    QRect barRect;  // the 4-pixel track
    QRect checkRect;
    QRect retryRect;
    QRect removeRect;
    // The leading edge of the first trailing part (the cell's trailing inset when none).
    int trailingStart = 0;

    static PlaceholderCell make(const TransferTask& task, const QRect& cell);

    // A stopped upload, failed or cancelled, is drawn failed: in red, with Retry.
    static bool hasFailed(const TransferTask& task);

    // Why a failed or cancelled task stopped, in the user's words: its failure text
    // without the technical codes kept for the transfer panel ("(curl 7)", "(errno
    // 13)"). Empty for a task that did not fail.
    static QString failureReason(const TransferTask& task);
};

}  // namespace tarn
