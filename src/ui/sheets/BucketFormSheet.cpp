#include "ui/sheets/BucketFormSheet.h"

#include "app/state/AppState.h"
#include "app/state/Async.h"
#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/WrappingLabel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace tarn {
namespace {

constexpr int kLabelWidth = 110;
constexpr int kFieldWidth = 430;
constexpr int kSchemeWidth = 78;
constexpr int kHostWidth = 200;
constexpr int kKeyWidth = 220;

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

BucketFormSheet::BucketFormSheet(AppState& state, const BucketConfig& bucket, std::function<void()> onClose,
                                 Operations operations, QWidget* parent)
    : SheetView(parent)
    , m_state(state)
    , m_onClose(std::move(onClose))
    , m_operations(std::move(operations))
{
    if (!m_operations.makeForm) {
        m_operations.makeForm = [&state](BucketConfig config) { return state.makeBucketForm(std::move(config)); };
    }
    if (!m_operations.save) {
        m_operations.save = [&state](BucketForm form) { startDetached(state.saveBucket(std::move(form))); };
    }
    // Until the state's form arrives, the bucket as configured.
    m_form.id = bucket.id;
    m_form.displayName = bucket.displayName;
    m_form.bucketName = bucket.bucketName;

    m_displayName = new QLineEdit(fromStd(bucket.displayName), this);
    m_displayName->setFont(TarnTheme::font(12));
    m_displayName->setFixedWidth(kFieldWidth);
    m_displayName->setPlaceholderText(fromStd(bucket.bucketName));
    setFocusProxy(m_displayName);
    QLabel* nameLabel = makeLabel(L10n::t(QStringLiteral("display_name")), 12, false);
    nameLabel->setFixedWidth(kLabelWidth);
    auto* nameRow = new QHBoxLayout();
    nameRow->setContentsMargins(0, 0, 0, 0);
    nameRow->setSpacing(10);
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_displayName);
    nameRow->addStretch(1);

    auto* hint = new WrappingLabel(L10n::t(QStringLiteral("cdn_domains_hint")), 4, this);
    hint->setFont(TarnTheme::font(10));
    hint->setColor(TarnTheme::color(ThemeColor::secondaryLabel));
    hint->setFixedWidth(rowWidth);

    m_domains = new QWidget(this);
    m_domainsLayout = new QVBoxLayout(m_domains);
    m_domainsLayout->setContentsMargins(0, 0, 0, 0);
    m_domainsLayout->setSpacing(8);
    m_loadingLabel = makeLabel(L10n::t(QStringLiteral("cdn_auth_keys_loading")), 11, true);

    m_addButton = makeButton(QStringLiteral("  ") + L10n::t(QStringLiteral("cdn_domain_add")), [this] { addDomain(); });
    SheetView::styleAddButton(m_addButton);

    m_cancelButton = makeButton(L10n::t(QStringLiteral("cancel")), [this] { cancel(); });
    m_saveButton = makeButton(L10n::t(QStringLiteral("save")), [this] { save(); });
    setDefaultButton(m_saveButton);
    auto* buttons = makeButtonRow({m_cancelButton, m_saveButton});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(12);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(makeTitle(L10n::t(QStringLiteral("edit_bucket"))), 0, Qt::AlignLeft);
    layout->addLayout(nameRow);
    layout->addWidget(makeLabel(L10n::t(QStringLiteral("cdn_domains")), 13, false), 0, Qt::AlignLeft);
    layout->addWidget(hint, 0, Qt::AlignLeft);
    layout->addWidget(m_domains, 0, Qt::AlignLeft);
    layout->addWidget(m_loadingLabel, 0, Qt::AlignLeft);
    layout->addWidget(m_addButton, 0, Qt::AlignLeft);
    layout->addLayout(buttons);

    // The rows as configured, without keys and locked, so nothing typed now could be
    // lost when the stored keys arrive.
    std::vector<PublicDomainForm> configured;
    for (const PublicDomain& domain : bucket.publicDomains) {
        configured.push_back(PublicDomainForm{domain.id, domain.scheme, domain.host, std::string()});
    }
    rebuildDomains(configured);
    setLoaded(false);
    startDetached(load(bucket));
}

QCoro::Task<> BucketFormSheet::load(BucketConfig bucket)
{
    const QPointer<BucketFormSheet> self(this);
    std::optional<BucketForm> form;
    try {
        QCoro::Task<BucketForm> making = m_operations.makeForm(bucket);
        form = co_await std::move(making);
    } catch (const std::exception&) {
    }
    if (!self) {
        co_return;
    }
    if (!form) {
        // No key could be read: every row says so, and Save leaves the keys alone.
        form = m_form;
        for (const PublicDomain& domain : bucket.publicDomains) {
            form->publicDomains.push_back(PublicDomainForm{domain.id, domain.scheme, domain.host, std::nullopt});
        }
    }
    showForm(std::move(*form));
}

void BucketFormSheet::showForm(BucketForm form)
{
    // The display name may have been edited meanwhile; the field keeps it.
    m_form = std::move(form);
    for (PublicDomainForm& domain : m_form.publicDomains) {
        if (!domain.cdnAuthKey) {
            m_unreadableKeys.insert(domain.id);
        }
    }
    rebuildDomains(m_form.publicDomains);
    setLoaded(true);
}

void BucketFormSheet::setLoaded(bool loaded)
{
    m_loaded = loaded;
    m_domains->setEnabled(loaded);
    m_addButton->setEnabled(loaded);
    m_saveButton->setEnabled(loaded);
    m_loadingLabel->setVisible(!loaded && !m_rows.empty());
}

void BucketFormSheet::rebuildDomains(const std::vector<PublicDomainForm>& domains)
{
    for (const DomainRow& row : m_rows) {
        m_domainsLayout->removeWidget(row.widget);
        // Later: a delete button may be the sender being handled right now.
        row.widget->hide();
        row.widget->deleteLater();
    }
    m_rows.clear();
    for (const PublicDomainForm& domain : domains) {
        DomainRow row = makeDomainRow(domain);
        m_domainsLayout->addWidget(row.widget);
        m_rows.push_back(row);
    }
    m_domains->setVisible(!m_rows.empty());
}

BucketFormSheet::DomainRow BucketFormSheet::makeDomainRow(const PublicDomainForm& domain)
{
    DomainRow row;
    row.id = domain.id;
    row.keyUnreadable = m_unreadableKeys.contains(domain.id);
    row.widget = new QWidget(m_domains);
    row.widget->setObjectName(fromStd(domain.id.toString()));
    row.widget->setFixedWidth(domainRowWidth);

    row.scheme = new QComboBox(row.widget);
    row.scheme->addItems({QStringLiteral("https"), QStringLiteral("http")});
    // Any scheme but exactly "http" is shown, and saved, as "https".
    row.scheme->setCurrentIndex(domain.scheme == "http" ? 1 : 0);
    row.scheme->setFixedWidth(kSchemeWidth);
    row.scheme->setFont(TarnTheme::font(12));

    row.host = new QLineEdit(fromStd(domain.host), row.widget);
    row.host->setFont(TarnTheme::font(12));
    row.host->setPlaceholderText(L10n::t(QStringLiteral("cdn_domain_host")));
    row.host->setFixedWidth(kHostWidth);

    row.key = new QLineEdit(fromStd(domain.cdnAuthKey.value_or(std::string())), row.widget);
    row.key->setFont(TarnTheme::font(12));
    row.key->setEchoMode(QLineEdit::Password);
    row.key->setFixedWidth(kKeyWidth);
    if (row.keyUnreadable) {
        row.key->setPlaceholderText(L10n::t(QStringLiteral("cdn_auth_key_unreadable")));
        row.key->setToolTip(L10n::t(QStringLiteral("cdn_auth_key_unreadable_help")));
        row.key->setObjectName(QStringLiteral("unreadableKey"));
        // A warning, not the usual grey hint: the field is empty for another reason.
        QPalette palette = row.key->palette();
        palette.setColor(QPalette::PlaceholderText, TarnTheme::color(ThemeColor::systemOrange));
        row.key->setPalette(palette);
    } else {
        row.key->setPlaceholderText(L10n::t(QStringLiteral("cdn_auth_key")));
    }

    auto* remove = makeButton(QString(), [this, widget = QPointer<QWidget>(row.widget)] { deleteDomainRow(widget); });
    remove->setParent(row.widget);
    remove->setIcon(MingCute::icon(QStringLiteral("minus.circle.fill"), TarnTheme::color(ThemeColor::secondaryLabel)));
    remove->setIconSize(MingCute::iconSize(14));
    remove->setFlat(true);
    remove->setCursor(Qt::PointingHandCursor);
    remove->setObjectName(QStringLiteral("deleteDomain"));

    auto* layout = new QHBoxLayout(row.widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(row.scheme);
    layout->addWidget(row.host);
    layout->addWidget(row.key);
    layout->addWidget(remove);
    layout->addStretch(1);
    return row;
}

std::vector<PublicDomainForm> BucketFormSheet::currentDomainDrafts() const
{
    std::vector<PublicDomainForm> drafts;
    for (const DomainRow& row : m_rows) {
        PublicDomainForm draft;
        draft.id = row.id;
        draft.scheme = row.scheme->currentText().toStdString();
        draft.host = row.host->text().toStdString();
        const QString key = row.key->text();
        // Nothing typed over a key nobody could read: it stays as the keyring has it.
        if (!(row.keyUnreadable && key.isEmpty())) {
            draft.cdnAuthKey = key.toStdString();
        }
        drafts.push_back(std::move(draft));
    }
    return drafts;
}

BucketForm BucketFormSheet::collect() const
{
    BucketForm form = m_form;
    form.displayName = m_displayName->text().toStdString();
    form.publicDomains.clear();
    for (PublicDomainForm& draft : currentDomainDrafts()) {
        if (!Whitespace::trimmed(draft.host).empty()) {
            form.publicDomains.push_back(std::move(draft));
        }
    }
    return form;
}

void BucketFormSheet::addDomain()
{
    if (!m_loaded) {
        return;
    }
    std::vector<PublicDomainForm> drafts = currentDomainDrafts();
    drafts.push_back(PublicDomainForm{Uuid::random(), "https", std::string(), std::string()});
    rebuildDomains(drafts);
    m_rows.back().host->setFocus(Qt::OtherFocusReason);
}

void BucketFormSheet::deleteDomainRow(QWidget* row)
{
    if (row == nullptr || !m_loaded) {
        return;
    }
    const auto found =
        std::find_if(m_rows.begin(), m_rows.end(), [row](const DomainRow& shown) { return shown.widget == row; });
    if (found == m_rows.end()) {
        return;
    }
    const auto index = static_cast<std::size_t>(found - m_rows.begin());
    std::vector<PublicDomainForm> drafts = currentDomainDrafts();
    drafts.erase(drafts.begin() + static_cast<std::ptrdiff_t>(index));
    rebuildDomains(drafts);
}

void BucketFormSheet::save()
{
    if (!m_loaded) {
        return;
    }
    // Copies: closing ends the sheet.
    const std::function<void(BucketForm)> saving = m_operations.save;
    const std::function<void()> onClose = m_onClose;
    saving(collect());
    if (onClose) {
        onClose();
    }
}

void BucketFormSheet::cancel()
{
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
