#pragma once

#include "app/state/MetadataPair.h"
#include "core/values/Uuid.h"
#include "ui/sheets/SheetView.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace tarn {

class AppState;

// Edits the user metadata of the inspected object as rows of a key and a value,
// started from the state's draft. The rows on screen are the only working copy:
// Save writes them back to the draft in screen order (rows with both fields empty
// left out, nothing trimmed), runs `save` and closes; Cancel leaves the draft alone.
//
// What the server could not be sent is caught at Save, before anything is written:
// a name that is no header name, a value with a line break, a tab or a character
// beyond ASCII, a name given twice (letter case does not count). The sheet then
// stays open with everything typed, the faulty field edged in red and the reason
// under its row; the marks follow the typing until the rows are right.
//
// Save is available only while the details of the object the sheet was opened for
// are loaded: a draft not read from them would wipe metadata nobody saw.
class EditMetadataSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int rowWidth = 520;
    static constexpr int keyWidth = 200;
    static constexpr int valueWidth = 280;

    EditMetadataSheet(AppState& state, std::function<void()> save, std::function<void()> onClose,
                      QWidget* parent = nullptr);

    QPushButton* addButton() const { return m_addButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* saveButton() const { return m_saveButton; }
    QScrollArea* scrollArea() const { return m_scrollArea; }

    struct Row {
        QWidget* view = nullptr;
        QLineEdit* key = nullptr;
        QLineEdit* value = nullptr;
        QPushButton* remove = nullptr;
        // Why the row cannot be saved as it stands; hidden while it can.
        QLabel* problem = nullptr;
    };
    // The rows on screen, top to bottom.
    const std::vector<Row>& rows() const { return m_rows; }

    // Appends an empty row and puts the caret in its key field.
    void addRow();
    void removeRow(QWidget* view);
    // The rows as pairs, each with a new ID; rows with both fields empty are left out.
    std::vector<MetadataPair> currentPairs() const;
    bool canSave() const;
    // Marks the rows that could not be sent as they stand (and clears the marks of
    // the others); true when none is marked.
    bool checkRows();
    void saveAndClose();
    void cancel();

private:
    void rebuild(const std::vector<MetadataPair>& pairs);
    Row makeRow(const MetadataPair& pair);
    void updateSaveButton();
    void mark(Row& row, QLineEdit* faulty, const QString& reason);
    // Lays the sheet and what holds it out before returning, as after a row changed.
    void layOutNow();

    AppState& m_state;
    std::function<void()> m_save;
    std::function<void()> m_onClose;
    // The object whose details the draft was read from, when there were any.
    std::optional<Uuid> m_bucketID;
    std::optional<std::string> m_objectKey;
    std::vector<Row> m_rows;
    QWidget* m_rowsView = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    // Whether a Save found faults: the marks then follow every edit.
    bool m_checking = false;
};

}  // namespace tarn
