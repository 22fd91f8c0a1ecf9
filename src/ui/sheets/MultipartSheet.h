#pragma once

#include "app/state/KeySet.h"
#include "core/storage/StorageModels.h"
#include "ui/sheets/SheetView.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QTableWidget;

namespace tarn {

class AppState;
class SkeletonListView;

// The unfinished multipart uploads of the selected bucket: their keys and start
// dates, with Refresh, Abort (the selected rows), Abort All and Close. The list is the
// state's: the sheet follows it and its loading flag, and calls the state's
// operations. The rows the user chose stay chosen, by upload ID, when a further page
// arrives or the list is loaded again. Abort All asks first, since it also ends
// uploads this program would otherwise resume. An empty list says so in the middle of
// the table, and the buttons that would have nothing to act on are disabled.
class MultipartSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int areaWidth = 560;
    static constexpr int areaHeight = 320;

    // The state's operations the buttons end in; unset ones use the state's own.
    struct Operations {
        std::function<void()> reload;
        std::function<void()> loadMore;  // the next page of the list
        std::function<void()> abortSelected;
        std::function<void(std::vector<MultipartUpload>)> abort;
    };

    MultipartSheet(AppState& state, std::function<void()> onClose, Operations operations = {},
                   QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }
    QLabel* countLabel() const { return m_countLabel; }
    // The text in the middle of the table while nothing is listed.
    QLabel* emptyLabel() const { return m_emptyLabel; }
    SkeletonListView* placeholder() const { return m_placeholder; }
    QPushButton* refreshButton() const { return m_refreshButton; }
    QPushButton* abortButton() const { return m_abortButton; }
    QPushButton* abortAllButton() const { return m_abortAllButton; }
    QPushButton* closeButton() const { return m_closeButton; }

    void refresh();
    void abortSelected();
    void abortAll();
    void close();

    // "—" for an upload without a start date.
    static QString initiatedText(const MultipartUpload& upload);

private:
    void showUploads();
    // The upload IDs of the rows chosen in the table.
    KeySet chosenUploadIDs() const;
    void showLoading();
    // Abort needs a chosen row, Abort All a listed one.
    void updateButtons();
    // Asks for the next page once the list is scrolled near its end (or fits whole).
    void loadMoreIfNearBottom();
    QCoro::Task<> confirmAbortAll(std::vector<MultipartUpload> uploads);

    AppState& m_state;
    std::function<void()> m_onClose;
    Operations m_operations;
    QTableWidget* m_table = nullptr;
    SkeletonListView* m_placeholder = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QPushButton* m_abortButton = nullptr;
    QPushButton* m_abortAllButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    // The upload ID of each row, as the table shows them.
    std::vector<std::string> m_shownUploadIDs;
};

}  // namespace tarn
