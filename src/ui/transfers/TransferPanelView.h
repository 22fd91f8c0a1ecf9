#pragma once

#include "ui/views/TintedBlurView.h"

class QLabel;
class QPushButton;

namespace tarn {

class TransferCenter;
class TransferListView;
class TransferPanelModel;

// The content of the transfer panel window: "Clear Finished" at the top right, shown
// once a task has finished, and below it the list of every task by section, or "No
// tasks" when the queue is empty. Texts are looked up when it is built.
class TransferPanelView : public TintedBlurView {
    Q_OBJECT

public:
    explicit TransferPanelView(TransferCenter& center, QWidget* parent = nullptr);

    TransferPanelModel* model() const { return m_model; }
    TransferListView* list() const { return m_list; }
    QPushButton* clearButton() const { return m_clearButton; }
    QLabel* emptyLabel() const { return m_emptyLabel; }

private:
    void showState();

    TransferPanelModel* m_model;
    TransferListView* m_list;
    QPushButton* m_clearButton;
    QLabel* m_emptyLabel;
};

}  // namespace tarn
