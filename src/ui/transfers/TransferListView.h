#pragma once

#include <QListView>
#include <QPoint>

#include <optional>

namespace tarn {

class TransferRowDelegate;

// The list of the transfer panel: rows painted by one TransferRowDelegate, nothing
// selectable, scrolled by pixels, on the panel's surface. It follows the pointer so
// the delegate can light the row button under it. It keeps its scroll position when
// the rows are built anew (a task that finishes moves to another section), as a list
// view does by itself.
class TransferListView : public QListView {
    Q_OBJECT

public:
    explicit TransferListView(QWidget* parent = nullptr);

    TransferRowDelegate* rowDelegate() const { return m_delegate; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void hoverAt(const std::optional<QPoint>& point);

    TransferRowDelegate* m_delegate;
};

}  // namespace tarn
