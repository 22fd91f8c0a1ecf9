#pragma once

#include "core/config/ConfigModels.h"
#include "ui/sheets/SheetView.h"

#include <functional>
#include <vector>

class QScrollArea;

namespace tarn {

// The operation history, read only: one row per entry, newest first, with its
// outcome, action, bucket, details and date. Built once from the entries it is
// given; it does not follow later changes while it is open.
class HistorySheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int preferredWidth = 720;
    static constexpr int preferredHeight = 460;
    static constexpr int rowWidth = 660;

    HistorySheet(const std::vector<OperationHistoryEntry>& history, std::function<void()> onClose,
                 QWidget* parent = nullptr);

    QPushButton* okButton() const { return m_okButton; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    // The row widgets, in the order shown.
    const std::vector<QWidget*>& rows() const { return m_rows; }

    // "upload · photos": the action and the bucket.
    static QString titleText(const OperationHistoryEntry& entry);
    // The detail, then the size when one is known, then the average speed when the
    // duration is known too, joined by "  ·  ".
    static QString detailText(const OperationHistoryEntry& entry);

    QSize sizeHint() const override;

private:
    QWidget* makeRow(const OperationHistoryEntry& entry);

    std::function<void()> m_onClose;
    QPushButton* m_okButton = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    std::vector<QWidget*> m_rows;
};

}  // namespace tarn
