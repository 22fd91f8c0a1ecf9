#pragma once

#include "app/state/BucketForm.h"
#include "core/config/ConfigModels.h"
#include "ui/sheets/SheetView.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <set>
#include <vector>

class QComboBox;
class QLineEdit;
class QVBoxLayout;

namespace tarn {

class AppState;

// One bucket's local settings: its display name and its CDN domains, each with a
// scheme, a host and an optional token key. The token keys come from the keyring,
// read off the interface thread when the sheet opens; until they have arrived the
// domain rows and Save wait. The rows are the edited state: adding or deleting one
// reads every row back first, so text typed in the others survives. Nothing is
// stored before Save; Cancel leaves the configuration and the keyring as they were.
//
// A key the keyring could not give is shown as such, not as an empty field: Save
// then leaves the stored key alone unless the user typed a new one.
class BucketFormSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int rowWidth = 560;
    static constexpr int domainRowWidth = 540;

    // How the sheet gets its form and hands it back; unset ones use the state's.
    struct Operations {
        std::function<QCoro::Task<BucketForm>(BucketConfig bucket)> makeForm;
        std::function<void(BucketForm form)> save;
    };

    BucketFormSheet(AppState& state, const BucketConfig& bucket, std::function<void()> onClose,
                    Operations operations = {}, QWidget* parent = nullptr);

    // One CDN domain row as shown.
    struct DomainRow {
        QWidget* widget = nullptr;
        Uuid id;
        QComboBox* scheme = nullptr;
        QLineEdit* host = nullptr;
        QLineEdit* key = nullptr;
        // The keyring would not give this domain's stored key.
        bool keyUnreadable = false;
    };

    // Whether the stored keys have arrived and the rows can be edited and saved.
    bool isLoaded() const { return m_loaded; }
    QLineEdit* displayNameField() const { return m_displayName; }
    const std::vector<DomainRow>& domainRows() const { return m_rows; }
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* saveButton() const { return m_saveButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    void addDomain();
    void deleteDomainRow(QWidget* row);
    void save();
    void cancel();

    // The rows read back, in order, every text as typed; a row whose key could not be
    // read and was left empty carries no key.
    std::vector<PublicDomainForm> currentDomainDrafts() const;
    // The form as the user left it: rows with a blank host dropped.
    BucketForm collect() const;

private:
    QCoro::Task<> load(BucketConfig bucket);
    void showForm(BucketForm form);
    void rebuildDomains(const std::vector<PublicDomainForm>& domains);
    DomainRow makeDomainRow(const PublicDomainForm& domain);
    void setLoaded(bool loaded);

    AppState& m_state;
    std::function<void()> m_onClose;
    Operations m_operations;
    BucketForm m_form;
    // The domains whose stored key the keyring would not give.
    std::set<Uuid> m_unreadableKeys;
    bool m_loaded = false;
    QLineEdit* m_displayName = nullptr;
    QWidget* m_domains = nullptr;
    QVBoxLayout* m_domainsLayout = nullptr;
    QLabel* m_loadingLabel = nullptr;
    std::vector<DomainRow> m_rows;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_saveButton = nullptr;
};

}  // namespace tarn
