#pragma once

#include "core/values/Uuid.h"
#include "ui/sheets/SheetView.h"
#include "ui/sheets/StorageProvider.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>
#include <span>
#include <string>

class QComboBox;
class QLineEdit;

namespace tarn {

class AppState;
class BusySpinner;
class WrappingLabel;

// Adds a storage account, or renames one. To add, the user picks a provider and a
// region, types the keys and an optional name; the keys are proven by listing the
// account's buckets off the main thread, and only an account that sees at least one
// bucket is handed to the state. To edit, everything but the name is read only.
//
// A check outlives the sheet: closed while it runs, the sheet is gone, yet keys that
// then prove good are still added (the user asked for it and the check found the
// buckets), without touching any sheet opened since.
class AddBucketSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int formWidth = 472;
    static constexpr int labelWidth = 96;
    static constexpr int controlWidth = 366;

    // `providers` is the table the popups offer (the built-in one but in tests).
    AddBucketSheet(AppState& state, std::optional<Uuid> editingProfileID, std::function<void()> onClose,
                   std::span<const StorageProvider> providers = StorageProvider::all(), QWidget* parent = nullptr);

    QComboBox* providerPopup() const { return m_providerPopup; }
    QComboBox* regionPopup() const { return m_regionPopup; }
    QLineEdit* keyField() const { return m_keyField; }
    QLineEdit* secretField() const { return m_secretField; }
    QLineEdit* profileField() const { return m_profileField; }
    WrappingLabel* errorLabel() const { return m_errorLabel; }
    BusySpinner* spinner() const { return m_spinner; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* addButton() const { return m_addButton; }
    bool isEditing() const { return m_editingProfileID.has_value(); }
    bool isChecking() const;

    // The endpoint of the provider and region chosen now.
    QString chosenEndpoint() const;

    // Add (check the keys, then add the account) or Save (rename); Cancel.
    void add();
    void cancel();

private:
    struct KeyCheck {
        std::string name;
        std::string endpoint;
        std::string region;
        std::string accessKeyID;
        std::string secretAccessKey;
    };

    void rebuildRegions();
    void providerChanged();
    void configureEditingMode();
    QWidget* labeled(const QString& title, QWidget* control);
    const StorageProvider& chosenProvider() const;
    const RegionOption& chosenRegion() const;
    void rename();
    void showFailure(const QString& text);

    static QCoro::Task<> checkKeys(QPointer<AddBucketSheet> sheet, QPointer<AppState> state, KeyCheck check);

    AppState& m_state;
    std::function<void()> m_onClose;
    std::optional<Uuid> m_editingProfileID;
    std::span<const StorageProvider> m_providers;
    // Set once the sheet's flag has turned false: whatever a running check finds
    // then is no business of this sheet (nor of one opened since).
    bool m_abandoned = false;

    QComboBox* m_providerPopup = nullptr;
    QComboBox* m_regionPopup = nullptr;
    QLineEdit* m_keyField = nullptr;
    QLineEdit* m_secretField = nullptr;
    QLineEdit* m_profileField = nullptr;
    WrappingLabel* m_errorLabel = nullptr;
    BusySpinner* m_spinner = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_addButton = nullptr;
};

}  // namespace tarn
