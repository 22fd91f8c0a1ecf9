#include "ui/sheets/SettingsSheet.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/sheets/SettingsSideItem.h"
#include "ui/theme/MakerSite.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/OverlayScrollView.h"
#include "ui/views/WrappingLabel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tarn {
namespace {

constexpr qreal kTint = 0.9;
constexpr std::int64_t kBytesPerMiB = 1048576;
constexpr int kPageSpacing = 18;
constexpr int kAccountRowWidth = 390;
// Long hints wrap onto this many lines at most.
constexpr int kHintLines = 6;

const char* const kPageTitles[SettingsSheet::pageCount] = {"settings_general", "settings_profiles",
                                                           "settings_transfer", "settings_advanced",
                                                           "settings_about"};

QVBoxLayout* pageLayout(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kPageSpacing);
    return layout;
}

WrappingLabel* hintLabel(const QString& text, QWidget* parent)
{
    auto* label = new WrappingLabel(text, kHintLines, parent);
    label->setFont(TarnTheme::font(11));
    label->setColor(TarnTheme::color(ThemeColor::secondaryLabel));
    label->setFixedWidth(SettingsSheet::rowWidth);
    return label;
}

QSpinBox* makeStepper(int minimum, int maximum, int step, QWidget* parent)
{
    auto* stepper = new QSpinBox(parent);
    stepper->setRange(minimum, maximum);
    stepper->setSingleStep(step);
    stepper->setSuffix(QStringLiteral(" MB"));
    stepper->setFont(TarnTheme::font(12));
    // A typed number counts once it is complete (Return or leaving the field), not
    // at every digit on the way.
    stepper->setKeyboardTracking(false);
    stepper->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    stepper->setMinimumWidth(110);
    return stepper;
}

QString cssColor(ThemeColor role)
{
    const QColor color = TarnTheme::color(role);
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

int wholeMiB(std::int64_t bytes)
{
    return static_cast<int>(std::clamp<std::int64_t>(bytes / kBytesPerMiB, 0, 1 << 30));
}

}  // namespace

SettingsSheet::SettingsSheet(AppState& state, std::function<void()> onClose, QWidget* parent)
    : SheetView(kTint, parent)
    , m_state(state)
    , m_onClose(std::move(onClose))
{
    setFixedSize(sheetWidth, sheetHeight);

    QLabel* title = makeLabel(L10n::t(QStringLiteral("settings")), 15, true);

    auto* sideList = new QVBoxLayout();
    sideList->setContentsMargins(0, 6, 0, 0);
    sideList->setSpacing(2);
    for (int index = 0; index < pageCount; ++index) {
        auto* item = new SettingsSideItem(L10n::t(QString::fromLatin1(kPageTitles[index])), this);
        item->setFixedWidth(sideItemWidth);
        item->setOnClick([sheet = QPointer<SettingsSheet>(this), index] {
            if (sheet) {
                sheet->select(static_cast<Page>(index));
            }
        });
        sideList->addWidget(item);
        m_sideItems.push_back(item);
    }
    sideList->addStretch(1);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFixedWidth(1);
    QPalette separatorPalette = separator->palette();
    separatorPalette.setColor(QPalette::WindowText, TarnTheme::color(ThemeColor::separator));
    separator->setPalette(separatorPalette);

    m_content = new OverlayScrollView(this);
    m_content->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content->setWidgetResizable(true);
    m_content->setFrameShape(QFrame::NoFrame);

    // "OK" is the same in every language of the interface.
    m_okButton = makeButton(QStringLiteral("OK"), [this] { closeClicked(); });
    setDefaultButton(m_okButton);

    auto* contentColumn = new QVBoxLayout();
    contentColumn->setContentsMargins(0, 8, 2, 2);
    contentColumn->setSpacing(12);
    contentColumn->addWidget(m_content, 1);
    contentColumn->addLayout(makeButtonRow({m_okButton}));

    auto* body = new QHBoxLayout();
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addLayout(sideList);
    body->addSpacing(16);
    body->addWidget(separator);
    body->addSpacing(28);
    body->addLayout(contentColumn, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 16, 22, 16);
    layout->setSpacing(8);
    title->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(title, 0, Qt::AlignLeft);
    layout->addLayout(body, 1);

    configureSteppers();
    select(Page::general);
}

QSize SettingsSheet::sizeHint() const
{
    return {sheetWidth, sheetHeight};
}

QWidget* SettingsSheet::page() const
{
    return m_content->widget();
}

void SettingsSheet::select(Page page)
{
    m_page = page;
    for (std::size_t index = 0; index < m_sideItems.size(); ++index) {
        m_sideItems[index]->setChosen(static_cast<int>(index) == static_cast<int>(page));
    }
    // The steppers outlive the page that shows them.
    for (QSpinBox* stepper : {m_previewStepper, m_partStepper}) {
        stepper->hide();
        stepper->setParent(this);
    }
    // Built anew every time, also for the page shown already: it shows what is now.
    // The old page goes later: the click that chose the page may come from inside it.
    if (QWidget* old = m_content->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    QWidget* shown = makePage(page);
    // Rows keep their height at the top; the room left stays below them.
    if (auto* rows = qobject_cast<QBoxLayout*>(shown->layout())) {
        rows->addStretch(1);
    }
    m_content->setWidget(shown);
    shown->setAutoFillBackground(false);
}

QWidget* SettingsSheet::makePage(Page page)
{
    switch (page) {
    case Page::general:
        return generalPage();
    case Page::accounts:
        return accountsPage();
    case Page::transfer:
        return transferPage();
    case Page::advanced:
        return advancedPage();
    case Page::about:
        break;
    }
    return aboutPage();
}

QWidget* SettingsSheet::labeledRow(const QString& title, QWidget* control, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(makeLabel(title, 12, false, row));
    layout->addStretch(1);
    layout->addWidget(control);
    row->setFixedWidth(rowWidth);
    return row;
}

QPushButton* SettingsSheet::pageButton(const QString& title, std::function<void()> action, QWidget* parent)
{
    auto* button = new ClosureButton(title, std::move(action), parent);
    // As the sheet's own buttons: Return stays with OK.
    button->setFocusPolicy(Qt::TabFocus);
    button->setAutoDefault(false);
    button->setFont(TarnTheme::font(12));
    return button;
}

QWidget* SettingsSheet::generalPage()
{
    auto* page = new QWidget();
    QVBoxLayout* layout = pageLayout(page);

    // The names of the languages are written in their own language, whatever the
    // interface shows now.
    auto* languages = new QWidget(page);
    languages->setObjectName(QStringLiteral("languages"));
    auto* languageLayout = new QHBoxLayout(languages);
    languageLayout->setContentsMargins(0, 0, 0, 0);
    languageLayout->setSpacing(0);
    auto* group = new QButtonGroup(languages);
    group->setExclusive(true);
    const bool english = m_state.languageCode() == "en";
    const struct {
        QString title;
        const char* code;
        bool chosen;
    } choices[] = {{QString::fromUtf8("中文"), "zh", !english}, {QStringLiteral("English"), "en", english}};
    // One control of two halves; the chosen half is filled with the accent.
    const QString segments = QStringLiteral(
        "QPushButton { background: %1; color: %2; border: 1px solid %3; padding: 4px 16px; }"
        "QPushButton#zh { border-top-left-radius: 6px; border-bottom-left-radius: 6px; }"
        "QPushButton#en { border-top-right-radius: 6px; border-bottom-right-radius: 6px; border-left: none; }"
        "QPushButton:checked { background: %4; color: %5; }"
        "QPushButton:focus { border-color: %6; }")
        .arg(cssColor(ThemeColor::controlFill), cssColor(ThemeColor::secondaryLabel), cssColor(ThemeColor::separator),
             cssColor(ThemeColor::selectedContentBackground), cssColor(ThemeColor::selectedText),
             cssColor(ThemeColor::controlAccent));
    languages->setStyleSheet(segments);
    for (const auto& choice : choices) {
        auto* button = new QPushButton(choice.title, languages);
        button->setObjectName(QString::fromLatin1(choice.code));
        button->setCheckable(true);
        button->setChecked(choice.chosen);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        button->setFont(TarnTheme::font(12));
        button->setMinimumWidth(76);
        group->addButton(button);
        languageLayout->addWidget(button);
        // The window is rebuilt in the new language on a later turn of the event
        // loop (and this sheet with it); nothing here may outlast this call.
        connect(button, &QPushButton::clicked, this, [this, code = std::string(choice.code)] {
            if (m_state.languageCode() != code) {
                m_state.setLanguage(code);
            }
        });
    }
    layout->addWidget(labeledRow(L10n::t(QStringLiteral("language")), languages, page));
    return page;
}

QWidget* SettingsSheet::accountsPage()
{
    auto* page = new QWidget();
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(hintLabel(L10n::t(QStringLiteral("profiles_hint")), page));
    auto* rows = new QVBoxLayout();
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(10);
    for (const StorageProfile& profile : m_state.config().profiles) {
        rows->addWidget(accountRow(profile, page));
    }
    layout->addLayout(rows);

    auto* add = new ClosureButton(QStringLiteral("  ") + L10n::t(QStringLiteral("profile_add")),
                                  [state = QPointer<AppState>(&m_state)] {
                                      if (state) {
                                          state->startAddingProfileFromSettings();
                                      }
                                  },
                                  page);
    add->setObjectName(QStringLiteral("addAccount"));
    SheetView::styleAddButton(add);
    layout->addWidget(add, 0, Qt::AlignLeft);
    return page;
}

QWidget* SettingsSheet::accountRow(const StorageProfile& profile, QWidget* parent)
{
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("account"));
    row->setFixedWidth(kAccountRowWidth);

    auto* name = new WrappingLabel(QString::fromStdString(profile.name), 1, row);
    name->setObjectName(QStringLiteral("name"));
    name->setFont(TarnTheme::font(13));
    name->setColor(TarnTheme::color(ThemeColor::label));
    name->setMinimumHeight(name->sizeHint().height());
    const QString host = QString::fromStdString(profile.endpoint.host().value_or(profile.endpoint.absoluteString()));
    const QString separator = QStringLiteral(" \u00B7 ");
    auto* detail = new WrappingLabel(host + separator + QString::fromStdString(profile.region) + separator +
                                         L10n::t(L10n::countKey(QStringLiteral("profile_bucket_count"),
                                                                      static_cast<qint64>(profile.bucketNames.size())),
                                                 profile.bucketNames.size()),
                                     1, row);
    detail->setObjectName(QStringLiteral("detail"));
    detail->setFont(TarnTheme::font(10));
    detail->setColor(TarnTheme::color(ThemeColor::secondaryLabel));
    detail->setMinimumHeight(detail->sizeHint().height());

    auto* texts = new QVBoxLayout();
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(name);
    texts->addWidget(detail);

    const Uuid id = profile.id;
    QPushButton* edit = pageButton(L10n::t(QStringLiteral("edit")), [state = QPointer<AppState>(&m_state), id] {
        if (state) {
            state->startEditingProfileFromSettings(id);
        }
    }, row);
    edit->setObjectName(QStringLiteral("edit"));
    QPushButton* remove = pageButton(L10n::t(QStringLiteral("delete")),
                                     [sheet = QPointer<SettingsSheet>(this), profile] {
                                         if (sheet) {
                                             startDetached(deleteProfile(sheet, QPointer<AppState>(&sheet->m_state),
                                                                         profile));
                                         }
                                     },
                                     row);
    remove->setObjectName(QStringLiteral("delete"));
    for (QPushButton* button : {edit, remove}) {
        button->setFont(TarnTheme::font(11));
    }

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addLayout(texts, 1);
    layout->addWidget(edit, 0, Qt::AlignVCenter);
    layout->addWidget(remove, 0, Qt::AlignVCenter);
    return row;
}

QCoro::Task<> SettingsSheet::deleteProfile(QPointer<SettingsSheet> sheet, QPointer<AppState> state,
                                           StorageProfile profile)
{
    const UiServices::Alert alert(UiServices::Alert::Style::warning,
                                  L10n::t(QStringLiteral("profile_delete_confirm_title")),
                                  L10n::t(QStringLiteral("profile_delete_confirm_message")),
                                  L10n::t(QStringLiteral("delete")), L10n::t(QStringLiteral("cancel")));
    const bool confirmed = co_await state->ui().showAlert(alert);
    if (!confirmed || !state) {
        co_return;
    }
    // The account leaves the configuration before the call returns; its keyring
    // items follow in the background.
    startDetached(state->removeProfile(profile.id));
    if (sheet && sheet->m_page == Page::accounts) {
        sheet->select(Page::accounts);
    }
}

void SettingsSheet::configureSteppers()
{
    const AppConfig& config = m_state.config();
    m_previewStepper = makeStepper(1, 2048, 10, this);
    m_previewStepper->setObjectName(QStringLiteral("previewLimit"));
    m_previewStepper->setValue(wholeMiB(config.previewSizeLimitBytes));
    connect(m_previewStepper, &QSpinBox::valueChanged, this, [this] { previewLimitChanged(); });

    m_partStepper = makeStepper(10, 1024, 5, this);
    m_partStepper->setObjectName(QStringLiteral("partSize"));
    m_partStepper->setValue(static_cast<int>(std::clamp<std::int64_t>(config.multipartPartSizeMB, 0, 1 << 30)));
    connect(m_partStepper, &QSpinBox::valueChanged, this, [this] { partSizeChanged(); });
}

void SettingsSheet::previewLimitChanged()
{
    m_state.setPreviewSizeLimitMB(m_previewStepper->value());
}

void SettingsSheet::partSizeChanged()
{
    m_state.setMultipartPartSizeMB(m_partStepper->value());
    // An off-grid step (from a stored 12, one step up is 17) is pulled back onto the
    // grid the state keeps.
    const QSignalBlocker quiet(m_partStepper);
    m_partStepper->setValue(static_cast<int>(m_state.config().multipartPartSizeMB));
}

QWidget* SettingsSheet::transferPage()
{
    auto* page = new QWidget();
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(labeledRow(L10n::t(QStringLiteral("preview_size_limit")), m_previewStepper, page));
    layout->addWidget(labeledRow(L10n::t(QStringLiteral("multipart_part_size")), m_partStepper, page));
    m_previewStepper->show();
    m_partStepper->show();
    return page;
}

QWidget* SettingsSheet::advancedPage()
{
    auto* page = new QWidget();
    QVBoxLayout* layout = pageLayout(page);

    auto* debug = new QCheckBox(L10n::t(QStringLiteral("debug_logging")), page);
    debug->setObjectName(QStringLiteral("debugLogging"));
    debug->setFont(TarnTheme::font(12));
    debug->setFocusPolicy(Qt::TabFocus);
    debug->setChecked(m_state.config().debugLogging);
    connect(debug, &QCheckBox::toggled, this, [this](bool on) { m_state.setDebugLogging(on); });
    layout->addWidget(debug);

    auto* transfer = new QHBoxLayout();
    transfer->setContentsMargins(0, 0, 0, 0);
    transfer->setSpacing(10);
    const QPointer<AppState> state(&m_state);
    QPushButton* exporting = pageButton(L10n::t(QStringLiteral("export_config")), [state] {
        if (state) {
            startDetached(state->exportConfig());
        }
    }, page);
    exporting->setObjectName(QStringLiteral("export"));
    QPushButton* importing = pageButton(L10n::t(QStringLiteral("import_config")), [state] {
        if (state) {
            startDetached(state->importConfig());
        }
    }, page);
    importing->setObjectName(QStringLiteral("import"));
    transfer->addWidget(exporting);
    transfer->addWidget(importing);
    transfer->addStretch(1);
    layout->addLayout(transfer);
    layout->addWidget(hintLabel(L10n::t(QStringLiteral("config_transfer_hint")), page));

    QPushButton* history = pageButton(L10n::t(QStringLiteral("history")), [state] {
        if (state) {
            // Closes this sheet, writes the buffered entries, opens the history.
            state->openHistoryFromSettings();
        }
    }, page);
    history->setObjectName(QStringLiteral("history"));
    layout->addWidget(history, 0, Qt::AlignLeft);
    return page;
}

QWidget* SettingsSheet::aboutPage()
{
    auto* page = new QWidget();
    QVBoxLayout* layout = pageLayout(page);
    layout->setSpacing(8);

    QLabel* name = makeLabel(L10n::t(QStringLiteral("app_name")), 22, false, page);
    name->setFont(TarnTheme::font(22, QFont::DemiBold));
    layout->addWidget(name);
    layout->addWidget(makeLabel(L10n::t(QStringLiteral("about_tagline")), 12, true, page));

    // Only a build that names the maker's site links to it.
    const QUrl site = MakerSite::url();
    if (!site.isEmpty()) {
        auto* website = new ClosureButton(L10n::t(QStringLiteral("corvane_website")),
                                          [state = QPointer<AppState>(&m_state), site] {
                                              if (state) {
                                                  state->ui().openUrl(site);
                                              }
                                          },
                                          page);
        website->setObjectName(QStringLiteral("website"));
        website->setFlat(true);
        website->setCursor(Qt::PointingHandCursor);
        website->setFont(TarnTheme::font(12));
        website->setAutoDefault(false);
        website->setFocusPolicy(Qt::TabFocus);
        website->setToolTip(site.toString());
        QPalette palette = website->palette();
        palette.setColor(QPalette::ButtonText, TarnTheme::color(ThemeColor::link));
        website->setPalette(palette);
        layout->addWidget(website, 0, Qt::AlignLeft);
    }
    return page;
}

void SettingsSheet::closeClicked()
{
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
