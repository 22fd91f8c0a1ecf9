#pragma once

#include "app/state/ShareLinkKind.h"
#include "core/config/ConfigModels.h"
#include "core/storage/StorageModels.h"
#include "ui/sheets/SheetView.h"

#include <QCoro/QCoroTask>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tarn {

class AppState;

// Links for every object selected in the browser, one per line, of one kind: the
// plain object URL, a presigned URL, or an anonymous or token-signed URL on one of
// the bucket's CDN domains. The user picks the kind, the domain and the numbers and
// presses Generate (a change of kind or domain generates at once, and Generate reads
// the bucket's domains again); Copy All puts the whole text on the clipboard, and is
// offered only once the links of the kind shown are made. The state makes every link;
// an object whose link cannot be made shows the "unavailable" text on its line.
//
// A presigned link's lifetime must be a whole number of seconds, 0 or more (0 is the
// longest, seven days): anything else marks the field and makes no link, and the
// lifetime the link will really have is shown under it. The request limit is offered
// only for the maker's own service, the one server that honours it.
class ShareSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int rowWidth = 520;
    static constexpr int labelWidth = 110;
    static constexpr int fieldWidth = 400;

    // How the sheet reaches the state; unset ones use the state's own.
    struct Operations {
        std::function<QCoro::Task<ShareOption>()> preferredOption;
        std::function<QCoro::Task<std::optional<std::string>>(ShareLinkKind kind, ObjectItem object,
                                                              std::optional<Uuid> domainID,
                                                              std::int64_t expiresSeconds, std::int64_t maxRequests,
                                                              std::int64_t cdnTTLSeconds)>
            makeLink;
    };

    ShareSheet(AppState& state, std::function<void()> onClose, Operations operations = {},
               QWidget* parent = nullptr);

    QComboBox* kindBox() const { return m_kindBox; }
    QComboBox* domainBox() const { return m_domainBox; }
    QLineEdit* expiresField() const { return m_expiresField; }
    QLineEdit* maxRequestsField() const { return m_maxRequestsField; }
    QLineEdit* ttlField() const { return m_ttlField; }
    QLabel* countLabel() const { return m_countLabel; }
    QLabel* expiryNote() const { return m_expiryNote; }
    // Under the domain pop-up while the bucket has no CDN domain: where to add one.
    QLabel* domainNote() const { return m_domainNote; }
    QPlainTextEdit* linkView() const { return m_linkView; }
    QWidget* domainRow() const { return m_domainRow; }
    QWidget* expiresRow() const { return m_expiresRow; }
    QWidget* maxRequestsRow() const { return m_maxRequestsRow; }
    QWidget* ttlRow() const { return m_ttlRow; }
    QPushButton* generateButton() const { return m_generateButton; }
    QPushButton* copyButton() const { return m_copyButton; }
    QPushButton* closeButton() const { return m_closeButton; }

    // False until the preselection has arrived, and while links are being made.
    bool isReady() const { return m_preselected && !m_generating; }
    // Whether the expiry field holds a lifetime a link can be made with.
    bool isExpiryValid() const;
    ShareLinkKind selectedKind() const;

    void generate();
    void copyLink();
    void close();

    // A signed whole decimal number ("+60", "-5"); none for anything else, spaces and
    // numbers beyond 64 bits included.
    static std::optional<std::int64_t> wholeNumber(const QString& text);
    // The lifetime a presigned link gets for a requested one.
    static std::int64_t effectiveLifetime(std::int64_t requestedSeconds);
    // "1 h 30 min", "7 天".
    static QString durationText(std::int64_t seconds);

private:
    QCoro::Task<> preselect();
    QCoro::Task<> makeLinks(int generation, std::vector<ObjectItem> objects, ShareLinkKind kind,
                            std::optional<Uuid> domainID, std::int64_t expiresSeconds, std::int64_t maxRequests,
                            std::int64_t cdnTTLSeconds);
    void updateVisibility(ShareLinkKind kind);
    // Reads the selected bucket's domains again and offers them, keeping the chosen one.
    void readDomains();
    // Copy All is offered only for the links of the question asked last.
    void setGenerating(bool generating);
    void updateExpiryNote();
    QWidget* labeled(const QString& title, QWidget* control, QWidget* note = nullptr);

    AppState& m_state;
    std::function<void()> m_onClose;
    Operations m_operations;
    std::vector<PublicDomain> m_domains;
    bool m_offersRequestLimit = false;
    bool m_preselected = false;
    bool m_generating = false;
    int m_generation = 0;

    QComboBox* m_kindBox = nullptr;
    QComboBox* m_domainBox = nullptr;
    QLineEdit* m_expiresField = nullptr;
    QLineEdit* m_maxRequestsField = nullptr;
    QLineEdit* m_ttlField = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_expiryNote = nullptr;
    QLabel* m_domainNote = nullptr;
    QPlainTextEdit* m_linkView = nullptr;
    QWidget* m_domainRow = nullptr;
    QWidget* m_expiresRow = nullptr;
    QWidget* m_maxRequestsRow = nullptr;
    QWidget* m_ttlRow = nullptr;
    QPushButton* m_generateButton = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};

}  // namespace tarn
