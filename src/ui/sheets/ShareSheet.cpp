#include "ui/sheets/ShareSheet.h"

#include "app/state/AppState.h"
#include "app/state/Async.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "core/storage/MakerService.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"

#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <string_view>
#include <utility>

namespace tarn {
namespace {

constexpr int kLinkHeight = 160;
constexpr int kDomainBoxMinimumWidth = 180;
constexpr std::int64_t kDefaultTTLSeconds = 3600;

QString unavailableText()
{
    return L10n::t(QStringLiteral("share_link_unavailable"));
}

QLineEdit* numberField(const QString& key, const QString& initial, QWidget* parent)
{
    auto* field = new QLineEdit(initial, parent);
    field->setPlaceholderText(L10n::t(key));
    field->setFont(TarnTheme::font(12));
    field->setFixedWidth(ShareSheet::fieldWidth);
    return field;
}

void setTextColor(QWidget* widget, ThemeColor role)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, TarnTheme::color(role));
    palette.setColor(QPalette::Text, TarnTheme::color(role));
    widget->setPalette(palette);
}

}  // namespace

ShareSheet::ShareSheet(AppState& state, std::function<void()> onClose, Operations operations, QWidget* parent)
    : SheetView(parent)
    , m_state(state)
    , m_onClose(std::move(onClose))
    , m_operations(std::move(operations))
{
    if (!m_operations.preferredOption) {
        m_operations.preferredOption = [&state] { return state.preferredShareOption(); };
    }
    if (!m_operations.makeLink) {
        m_operations.makeLink = [&state](ShareLinkKind kind, ObjectItem object, std::optional<Uuid> domainID,
                                         std::int64_t expiresSeconds, std::int64_t maxRequests,
                                         std::int64_t cdnTTLSeconds) {
            return state.shareLink(kind, std::move(object), std::move(domainID), expiresSeconds, maxRequests,
                                   cdnTTLSeconds);
        };
    }
    if (const std::optional<BucketConfig> bucket = state.selectedBucket()) {
        m_offersRequestLimit = MakerService::isStorageEndpoint(bucket->endpoint);
    }

    m_countLabel = makeLabel(QString(), 11, true);
    auto* header = new QHBoxLayout();
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(10);
    header->addWidget(makeTitle(L10n::t(QStringLiteral("share_link"))), 0, Qt::AlignBaseline);
    header->addWidget(m_countLabel, 0, Qt::AlignBaseline);
    header->addStretch(1);

    m_kindBox = new QComboBox(this);
    for (ShareLinkKind kind : allShareLinkKinds) {
        const std::string_view raw = rawValue(kind);
        m_kindBox->addItem(L10n::t(QStringLiteral("share_kind_") + QLatin1String(raw.data(), raw.size())));
    }
    m_kindBox->setFont(TarnTheme::font(12));

    m_domainBox = new QComboBox(this);
    m_domainBox->setFont(TarnTheme::font(12));
    // Wide enough to be seen as a pop-up even when all it holds is "—".
    m_domainBox->setMinimumWidth(kDomainBoxMinimumWidth);
    m_domainNote = makeLabel(L10n::t(QStringLiteral("share_no_domain_hint")), 11, true);
    m_domainNote->setWordWrap(true);
    m_domainNote->hide();
    readDomains();

    m_expiresField = numberField(QStringLiteral("expires_seconds"), QStringLiteral("3600"), this);
    m_maxRequestsField = numberField(QStringLiteral("max_requests"), QStringLiteral("0"), this);
    m_ttlField = numberField(QStringLiteral("cdn_ttl_seconds"), QStringLiteral("3600"), this);
    m_expiryNote = makeLabel(QString(), 11, true);

    m_linkView = new QPlainTextEdit(this);
    m_linkView->setReadOnly(true);
    m_linkView->setFont(TarnTheme::font(12));
    m_linkView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_linkView->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_linkView->setFixedSize(rowWidth, kLinkHeight);
    m_linkView->document()->setDocumentMargin(6);
    setTextColor(m_linkView, ThemeColor::secondaryLabel);

    m_generateButton = makeButton(L10n::t(QStringLiteral("generate_link")), [this] { generate(); });
    m_copyButton = makeButton(L10n::t(QStringLiteral("copy_all")), [this] { copyLink(); });
    m_closeButton = makeButton(L10n::t(QStringLiteral("close")), [this] { close(); });
    setDefaultButton(m_closeButton);
    for (QPushButton* button : {m_generateButton, m_copyButton}) {
        // Room around the longer titles, as the short ones get from the minimum width.
        button->setMinimumWidth(button->sizeHint().width() + 16);
    }
    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(10);
    buttons->addWidget(m_generateButton);
    buttons->addWidget(m_copyButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);

    m_domainRow = labeled(L10n::t(QStringLiteral("cdn_domain")), m_domainBox, m_domainNote);
    m_expiresRow = labeled(L10n::t(QStringLiteral("expires_seconds")), m_expiresField, m_expiryNote);
    m_maxRequestsRow = labeled(L10n::t(QStringLiteral("max_requests")), m_maxRequestsField);
    m_ttlRow = labeled(L10n::t(QStringLiteral("cdn_ttl_seconds")), m_ttlField);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(12);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(header);
    layout->addWidget(labeled(L10n::t(QStringLiteral("link_kind")), m_kindBox), 0, Qt::AlignLeft);
    layout->addWidget(m_domainRow, 0, Qt::AlignLeft);
    layout->addWidget(m_expiresRow, 0, Qt::AlignLeft);
    layout->addWidget(m_maxRequestsRow, 0, Qt::AlignLeft);
    layout->addWidget(m_ttlRow, 0, Qt::AlignLeft);
    layout->addWidget(m_linkView, 0, Qt::AlignLeft);
    layout->addLayout(buttons);

    // Kind and domain wait for the preselection, which reads the keyring; Copy All
    // waits for the links.
    m_kindBox->setEnabled(false);
    m_domainBox->setEnabled(false);
    m_copyButton->setEnabled(false);
    updateVisibility(ShareLinkKind::anonymous);
    updateExpiryNote();
    connect(m_expiresField, &QLineEdit::textChanged, this, &ShareSheet::updateExpiryNote);
    connect(m_kindBox, &QComboBox::currentIndexChanged, this, [this] {
        if (m_preselected) {
            generate();
        }
    });
    connect(m_domainBox, &QComboBox::currentIndexChanged, this, [this] {
        if (m_preselected) {
            generate();
        }
    });
    startDetached(preselect());
}

QWidget* ShareSheet::labeled(const QString& title, QWidget* control, QWidget* note)
{
    auto* row = new QWidget(this);
    row->setFixedWidth(rowWidth);
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    QLabel* label = makeLabel(title, 12, false);
    label->setFixedWidth(labelWidth);
    label->setParent(row);
    grid->addWidget(label, 0, 0, Qt::AlignVCenter);
    control->setParent(row);
    grid->addWidget(control, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
    if (note != nullptr) {
        note->setParent(row);
        // A wrapped note is measured at the width it gets: the sheet sizes itself from
        // size hints, which guess a wrapped label's width and clip its lines otherwise.
        const int noteWidth = rowWidth - labelWidth - grid->horizontalSpacing();
        if (auto* text = qobject_cast<QLabel*>(note); text != nullptr && text->wordWrap()) {
            text->setFixedWidth(noteWidth);
            text->setMinimumHeight(text->heightForWidth(noteWidth));
        }
        grid->addWidget(note, 1, 1, Qt::AlignLeft);
    }
    grid->setColumnStretch(1, 1);
    return row;
}

QCoro::Task<> ShareSheet::preselect()
{
    const QPointer<ShareSheet> self(this);
    ShareOption option;
    try {
        QCoro::Task<ShareOption> asking = m_operations.preferredOption();
        option = co_await std::move(asking);
    } catch (const std::exception&) {
        // Without a preference the sheet still works: the first kind, chosen by hand.
    }
    if (!self) {
        co_return;
    }
    const auto kind = std::find(allShareLinkKinds.begin(), allShareLinkKinds.end(), option.kind);
    m_kindBox->setCurrentIndex(kind == allShareLinkKinds.end() ? 0
                                                               : static_cast<int>(kind - allShareLinkKinds.begin()));
    if (option.domainID) {
        const auto domain = std::find_if(m_domains.begin(), m_domains.end(),
                                         [&](const PublicDomain& candidate) { return candidate.id == *option.domainID; });
        if (domain != m_domains.end()) {
            m_domainBox->setCurrentIndex(static_cast<int>(domain - m_domains.begin()));
        }
    }
    m_kindBox->setEnabled(true);
    m_domainBox->setEnabled(!m_domains.empty());
    m_preselected = true;
    generate();
}

void ShareSheet::readDomains()
{
    std::vector<PublicDomain> domains;
    if (const std::optional<BucketConfig> bucket = m_state.selectedBucket()) {
        domains = bucket->publicDomains;
    }
    const auto unchanged = [&] {
        return domains.size() == m_domains.size() &&
               std::equal(domains.begin(), domains.end(), m_domains.begin(),
                          [](const PublicDomain& a, const PublicDomain& b) { return a.id == b.id && a.host == b.host; });
    };
    if (m_domainBox->count() > 0 && unchanged()) {
        return;
    }
    // The chosen domain stays chosen wherever it now stands; gone, the first one is.
    const int index = m_domainBox->currentIndex();
    std::optional<Uuid> chosen;
    if (index >= 0 && static_cast<std::size_t>(index) < m_domains.size()) {
        chosen = m_domains[static_cast<std::size_t>(index)].id;
    }
    m_domains = std::move(domains);
    const QSignalBlocker quiet(m_domainBox);
    m_domainBox->clear();
    for (const PublicDomain& domain : m_domains) {
        m_domainBox->addItem(QString::fromStdString(domain.host));
    }
    if (m_domains.empty()) {
        m_domainBox->addItem(QStringLiteral("\u2014"));
    }
    const auto found = std::find_if(m_domains.begin(), m_domains.end(),
                                    [&](const PublicDomain& domain) { return domain.id == chosen; });
    m_domainBox->setCurrentIndex(found == m_domains.end() ? 0 : static_cast<int>(found - m_domains.begin()));
    m_domainBox->setEnabled(m_preselected && !m_domains.empty());
    m_domainNote->setVisible(m_domains.empty());
}

ShareLinkKind ShareSheet::selectedKind() const
{
    const int index = std::clamp(m_kindBox->currentIndex(), 0, static_cast<int>(allShareLinkKinds.size()) - 1);
    return allShareLinkKinds[static_cast<std::size_t>(index)];
}

std::optional<std::int64_t> ShareSheet::wholeNumber(const QString& text)
{
    qsizetype start = 0;
    if (!text.isEmpty() && (text.front() == QLatin1Char('+') || text.front() == QLatin1Char('-'))) {
        start = 1;
    }
    if (start == text.size()) {
        return std::nullopt;
    }
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

std::int64_t ShareSheet::effectiveLifetime(std::int64_t requestedSeconds)
{
    return effectivePresignedLifetime(requestedSeconds);
}

QString ShareSheet::durationText(std::int64_t seconds)
{
    struct Unit {
        std::int64_t seconds;
        const char* key;
    };
    static constexpr Unit units[] = {
        {86400, "duration_days"}, {3600, "duration_hours"}, {60, "duration_minutes"}, {1, "duration_seconds"}};
    QStringList parts;
    std::int64_t left = std::max<std::int64_t>(seconds, 0);
    for (const Unit& unit : units) {
        if (left >= unit.seconds) {
            parts.append(L10n::t(QString::fromLatin1(unit.key), left / unit.seconds));
            left %= unit.seconds;
        }
    }
    if (parts.isEmpty()) {
        parts.append(L10n::t(QStringLiteral("duration_seconds"), std::int64_t{0}));
    }
    return parts.join(QLatin1Char(' '));
}

bool ShareSheet::isExpiryValid() const
{
    const std::optional<std::int64_t> seconds = wholeNumber(m_expiresField->text());
    return seconds && *seconds >= 0;
}

void ShareSheet::updateExpiryNote()
{
    const std::optional<std::int64_t> seconds = wholeNumber(m_expiresField->text());
    const bool valid = seconds && *seconds >= 0;
    if (valid) {
        m_expiryNote->setText(
            L10n::t(QStringLiteral("share_expiry_effective"), durationText(effectiveLifetime(*seconds))));
    } else {
        m_expiryNote->setText(L10n::t(QStringLiteral("share_expiry_invalid")));
    }
    setTextColor(m_expiryNote, valid ? ThemeColor::secondaryLabel : ThemeColor::systemRed);
    // The field itself carries the mark, so it is seen from the Generate button too.
    if (m_expiresField->property(TarnStyle::invalidProperty).toBool() == valid) {
        m_expiresField->setProperty(TarnStyle::invalidProperty, !valid);
        m_expiresField->update();
    }
}

void ShareSheet::updateVisibility(ShareLinkKind kind)
{
    const bool cdn = kind == ShareLinkKind::cdnAnonymous || kind == ShareLinkKind::cdnToken;
    m_domainRow->setVisible(cdn);
    m_expiresRow->setVisible(kind == ShareLinkKind::presigned);
    m_maxRequestsRow->setVisible(kind == ShareLinkKind::presigned && m_offersRequestLimit);
    m_ttlRow->setVisible(kind == ShareLinkKind::cdnToken);
}

void ShareSheet::generate()
{
    const std::vector<ObjectItem> objects = m_state.selectedObjects();
    m_countLabel->setText(L10n::t(L10n::countKey(QStringLiteral("share_link_count"), static_cast<qint64>(objects.size())),
                                   objects.size()));
    const ShareLinkKind kind = selectedKind();
    updateVisibility(kind);
    // The bucket's domains as they are now: they may have changed since the sheet opened.
    readDomains();
    // Whatever is under way now answers a question no longer asked, and the links
    // shown are another question's: none are offered until the new ones are made.
    ++m_generation;
    setGenerating(false);
    m_linkView->clear();
    if (objects.empty()) {
        m_linkView->setPlainText(unavailableText());
        return;
    }
    if (kind == ShareLinkKind::presigned && !isExpiryValid()) {
        // A link that lives seven days because of a typing slip is worse than none.
        m_linkView->clear();
        m_expiresField->setFocus(Qt::OtherFocusReason);
        return;
    }
    const int index = m_domainBox->currentIndex();
    std::optional<Uuid> domainID;
    if (index >= 0 && static_cast<std::size_t>(index) < m_domains.size()) {
        domainID = m_domains[static_cast<std::size_t>(index)].id;
    }
    const std::int64_t expiresSeconds = wholeNumber(m_expiresField->text()).value_or(0);
    const std::int64_t maxRequests = m_offersRequestLimit ? wholeNumber(m_maxRequestsField->text()).value_or(0) : 0;
    const std::int64_t ttlSeconds = wholeNumber(m_ttlField->text()).value_or(kDefaultTTLSeconds);
    setGenerating(true);
    startDetached(makeLinks(m_generation, objects, kind, domainID, expiresSeconds, maxRequests, ttlSeconds));
}

QCoro::Task<> ShareSheet::makeLinks(int generation, std::vector<ObjectItem> objects, ShareLinkKind kind,
                                    std::optional<Uuid> domainID, std::int64_t expiresSeconds,
                                    std::int64_t maxRequests, std::int64_t cdnTTLSeconds)
{
    const QPointer<ShareSheet> self(this);
    const auto makeLink = m_operations.makeLink;
    QStringList lines;
    for (ObjectItem& object : objects) {
        std::optional<std::string> link;
        try {
            QCoro::Task<std::optional<std::string>> making =
                makeLink(kind, std::move(object), domainID, expiresSeconds, maxRequests, cdnTTLSeconds);
            link = co_await std::move(making);
        } catch (const std::exception&) {
            // That object's line says so; the others are still made.
        }
        if (!self || m_generation != generation) {
            co_return;
        }
        lines.append(link ? QString::fromStdString(*link) : unavailableText());
    }
    m_linkView->setPlainText(lines.join(QLatin1Char('\n')));
    setGenerating(false);
}

void ShareSheet::setGenerating(bool generating)
{
    m_generating = generating;
    m_copyButton->setEnabled(isReady());
}

void ShareSheet::copyLink()
{
    const QString text = m_linkView->toPlainText();
    if (!isReady() || text.isEmpty() || text == unavailableText()) {
        m_state.ui().beep();
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    m_state.setStatusText(L10n::t(QStringLiteral("copied")));
}

void ShareSheet::close()
{
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
