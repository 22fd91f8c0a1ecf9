#include "ui/sheets/AddBucketSheet.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/storage/S3Error.h"
#include "core/values/Url.h"
#include "ui/sheets/TextInputSheet.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/BusySpinner.h"
#include "ui/views/WrappingLabel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

namespace tarn {
namespace {

// A failure text long enough to need more (a proxy's error page) is cut here.
constexpr int kErrorLines = 4;

QLineEdit* makeField(const QString& placeholder, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(placeholder);
    field->setFont(TarnTheme::font(12));
    field->setFixedWidth(AddBucketSheet::formWidth);
    return field;
}

QComboBox* makePopup(QWidget* parent)
{
    auto* popup = new QComboBox(parent);
    popup->setFont(TarnTheme::font(12));
    popup->setFixedWidth(AddBucketSheet::controlWidth);
    // Long region lists scroll rather than cover the window.
    popup->setMaxVisibleItems(14);
    return popup;
}

std::size_t indexOr0(int index)
{
    return index < 0 ? 0 : static_cast<std::size_t>(index);
}

}  // namespace

AddBucketSheet::AddBucketSheet(AppState& state, std::optional<Uuid> editingProfileID, std::function<void()> onClose,
                               std::span<const StorageProvider> providers, QWidget* parent)
    : SheetView(parent)
    , m_state(state)
    , m_onClose(std::move(onClose))
    , m_editingProfileID(std::move(editingProfileID))
    , m_providers(providers)
{
    connect(&m_state, &AppState::showingAddBucketEditorChanged, this, [this] {
        if (!m_state.showingAddBucketEditor()) {
            m_abandoned = true;
        }
    });

    const bool editing = isEditing();
    QLabel* title = makeTitle(L10n::t(editing ? QStringLiteral("edit_account") : QStringLiteral("profile_add")));

    m_providerPopup = makePopup(this);
    for (const StorageProvider& provider : m_providers) {
        m_providerPopup->addItem(provider.displayName());
    }
    // Only a choice of the user's rebuilds the regions; the edit mode selects itself.
    connect(m_providerPopup, &QComboBox::activated, this, [this] { providerChanged(); });
    m_regionPopup = makePopup(this);
    rebuildRegions();

    m_keyField = makeField(L10n::t(QStringLiteral("access_key")), this);
    m_secretField = makeField(L10n::t(QStringLiteral("secret_key")), this);
    m_secretField->setEchoMode(QLineEdit::Password);
    m_profileField = makeField(L10n::t(QStringLiteral("profile_name")), this);

    m_errorLabel = new WrappingLabel(QString(), kErrorLines, this);
    m_errorLabel->setFont(TarnTheme::font(11));
    m_errorLabel->setColor(TarnTheme::color(ThemeColor::systemRed));
    m_errorLabel->setFixedWidth(formWidth);
    m_errorLabel->hide();

    m_spinner = new BusySpinner(this);
    m_cancelButton = makeButton(L10n::t(QStringLiteral("cancel")), [this] { cancel(); });
    m_addButton = makeButton(L10n::t(editing ? QStringLiteral("save") : QStringLiteral("add_bucket")), [this] { add(); });
    setDefaultButton(m_addButton);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(10);
    buttons->addWidget(m_spinner, 0, Qt::AlignVCenter);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_addButton);
    auto* buttonRow = new QWidget(this);
    buttonRow->setLayout(buttons);
    buttonRow->setFixedWidth(formWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(14);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(title, 0, Qt::AlignLeft);
    layout->addWidget(labeled(L10n::t(QStringLiteral("select_provider")), m_providerPopup), 0, Qt::AlignLeft);
    layout->addWidget(labeled(L10n::t(QStringLiteral("select_zone")), m_regionPopup), 0, Qt::AlignLeft);
    layout->addWidget(m_keyField, 0, Qt::AlignLeft);
    layout->addWidget(m_secretField, 0, Qt::AlignLeft);
    layout->addWidget(m_profileField, 0, Qt::AlignLeft);
    layout->addWidget(m_errorLabel, 0, Qt::AlignLeft);
    layout->addWidget(buttonRow, 0, Qt::AlignLeft);

    configureEditingMode();
    // The caret waits where typing starts: the key, or the name when editing.
    setFocusProxy(editing ? m_profileField : m_keyField);
}

bool AddBucketSheet::isChecking() const
{
    return m_spinner->isSpinning();
}

QWidget* AddBucketSheet::labeled(const QString& title, QWidget* control)
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    QLabel* label = makeLabel(title, 12, false);
    label->setFixedWidth(labelWidth);
    layout->addWidget(label);
    layout->addWidget(control);
    row->setFixedWidth(formWidth);
    return row;
}

const StorageProvider& AddBucketSheet::chosenProvider() const
{
    return m_providers[std::min(indexOr0(m_providerPopup->currentIndex()), m_providers.size() - 1)];
}

const RegionOption& AddBucketSheet::chosenRegion() const
{
    const std::vector<RegionOption>& regions = chosenProvider().regions;
    return regions[std::min(indexOr0(m_regionPopup->currentIndex()), regions.size() - 1)];
}

QString AddBucketSheet::chosenEndpoint() const
{
    return chosenProvider().endpoint(chosenRegion());
}

void AddBucketSheet::rebuildRegions()
{
    m_regionPopup->clear();
    QStringList titles;
    for (const RegionOption& region : chosenProvider().regions) {
        titles.append(region.title());
    }
    m_regionPopup->addItems(titles);
    m_regionPopup->setCurrentIndex(0);
}

void AddBucketSheet::providerChanged()
{
    rebuildRegions();
    m_errorLabel->hide();
}

void AddBucketSheet::configureEditingMode()
{
    if (!m_editingProfileID) {
        return;
    }
    const std::vector<StorageProfile>& profiles = m_state.config().profiles;
    const auto profile = std::find_if(profiles.begin(), profiles.end(),
                                      [&](const StorageProfile& p) { return p.id == *m_editingProfileID; });
    if (profile == profiles.end()) {
        // Gone meanwhile: the form stays as for a new account; Save renames nothing.
        return;
    }
    const QString endpoint = QString::fromStdString(profile->endpoint.absoluteString());
    const QString region = QString::fromStdString(profile->region);
    if (const auto position = StorageProvider::locate(m_providers, endpoint, region)) {
        m_providerPopup->setCurrentIndex(static_cast<int>(position->provider));
        rebuildRegions();
        m_regionPopup->setCurrentIndex(static_cast<int>(position->region));
    } else {
        // An endpoint of no provider's template: its host stands in for the provider.
        m_providerPopup->addItem(QString::fromStdString(profile->endpoint.host().value_or(profile->endpoint.absoluteString())));
        m_providerPopup->setCurrentIndex(m_providerPopup->count() - 1);
        m_regionPopup->clear();
        m_regionPopup->addItem(region);
    }
    m_providerPopup->setEnabled(false);
    m_regionPopup->setEnabled(false);

    m_keyField->setText(QString::fromStdString(profile->accessKeyID));
    m_keyField->setReadOnly(true);
    m_keyField->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = m_keyField->palette();
    palette.setColor(QPalette::Text, TarnTheme::color(ThemeColor::secondaryLabel));
    m_keyField->setPalette(palette);
    m_secretField->hide();
    m_profileField->setText(QString::fromStdString(profile->name));
}

void AddBucketSheet::cancel()
{
    // A running check goes on; see the class comment.
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

void AddBucketSheet::add()
{
    if (isEditing()) {
        rename();
        return;
    }
    if (isChecking()) {
        return;
    }
    const StorageProvider& provider = chosenProvider();
    const RegionOption& region = chosenRegion();
    // White space around the key or the secret is a slip of copy and paste (a pasted
    // secret often brings a line break): no service issues one, and a secret kept with
    // it would sign every request wrongly.
    const QString key = TextInputSheet::trimmed(m_keyField->text());
    const QString secret = TextInputSheet::trimmed(m_secretField->text());
    if (key.isEmpty() || secret.isEmpty()) {
        m_state.ui().beep();
        return;
    }
    const QString name = m_profileField->text().isEmpty() ? provider.defaultProfile : m_profileField->text();

    m_errorLabel->hide();
    m_spinner->start();
    m_addButton->setEnabled(false);

    KeyCheck check{name.toStdString(), provider.endpoint(region).toStdString(), region.code.toStdString(),
                   key.toStdString(), secret.toStdString()};
    startDetached(checkKeys(QPointer<AddBucketSheet>(this), QPointer<AppState>(&m_state), std::move(check)));
}

void AddBucketSheet::rename()
{
    const QString name = TextInputSheet::trimmed(m_profileField->text());
    if (name.isEmpty()) {
        m_state.ui().beep();
        return;
    }
    // Copied: the rename may publish changes that end this sheet.
    const std::function<void()> onClose = m_onClose;
    m_state.renameProfile(*m_editingProfileID, name.toStdString());
    if (onClose) {
        onClose();
    }
}

void AddBucketSheet::showFailure(const QString& text)
{
    m_spinner->stop();
    m_addButton->setEnabled(true);
    m_errorLabel->setText(text);
    m_errorLabel->show();
}

QCoro::Task<> AddBucketSheet::checkKeys(QPointer<AddBucketSheet> sheet, QPointer<AppState> state, KeyCheck check)
{
    std::vector<std::string> names;
    QString failure;
    try {
        const std::optional<Url> url = Url::parse(check.endpoint);
        if (!url) {
            throw S3Error::invalidURL();
        }
        const S3Credentials credentials{check.accessKeyID, check.secretAccessKey};
        auto list = [&client = state->client(), &endpoint = *url, &region = check.region, &credentials,
                     stop = state->lifetimeToken()] {
            std::vector<std::string> found;
            for (const S3BucketInfo& bucket : client.listBuckets(endpoint, region, credentials, stop)) {
                found.push_back(bucket.name);
            }
            return found;
        };
        names = co_await state->inBackground(list);
    } catch (...) {
        // In the interface's language, as the transfer queue tells its failures.
        failure = TransferCenter::describe(std::current_exception());
    }
    if (!state) {
        co_return;
    }
    const bool open = sheet && !sheet->m_abandoned;
    if (!failure.isEmpty() || names.empty()) {
        // Nothing is stored; a sheet closed meanwhile has no one to tell.
        if (open) {
            sheet->showFailure(failure.isEmpty() ? L10n::t(QStringLiteral("no_buckets_found")) : failure);
        }
        co_return;
    }
    QCoro::Task<> adding = state->addProfile(std::move(check.name), std::move(names), std::move(check.endpoint),
                                             std::move(check.region), std::move(check.accessKeyID),
                                             std::move(check.secretAccessKey), open);
    co_await adding;
    if (sheet && !sheet->m_abandoned) {
        // Still open: the keyring refused the secret (the state's toast says so) and
        // the sheet stays for another try.
        sheet->m_spinner->stop();
        sheet->m_addButton->setEnabled(true);
    }
}

}  // namespace tarn
