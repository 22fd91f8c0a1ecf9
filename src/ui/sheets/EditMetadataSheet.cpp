#include "ui/sheets/EditMetadataSheet.h"

#include "app/state/AppState.h"
#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "core/storage/UserMetadata.h"
#include "core/text/AsciiCase.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/OverlayScrollView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace tarn {
namespace {

constexpr int kRowSpacing = 8;
// Rows shown at least when the window is too low for them all; the rest scroll.
constexpr int kRowsAlwaysShown = 2;

// The rows' scroll area asks for the height of all its rows, so the sheet grows with
// each one added; only a window too low for them makes it scroll.
class RowsScrollArea : public OverlayScrollView {
public:
    using OverlayScrollView::OverlayScrollView;

    QSize sizeHint() const override
    {
        return {EditMetadataSheet::rowWidth, contentHeight()};
    }

    QSize minimumSizeHint() const override
    {
        const int rows = widget() != nullptr && widget()->layout() != nullptr ? widget()->layout()->count() : 0;
        if (rows == 0) {
            return {EditMetadataSheet::rowWidth, 0};
        }
        const int perRow = (contentHeight() + kRowSpacing) / rows;
        return {EditMetadataSheet::rowWidth, std::min(contentHeight(), kRowsAlwaysShown * perRow - kRowSpacing)};
    }

private:
    int contentHeight() const { return widget() != nullptr ? widget()->sizeHint().height() : 0; }
};

QLineEdit* makeField(const QString& text, const QString& placeholder, int width, QWidget* parent)
{
    auto* field = new QLineEdit(text, parent);
    field->setPlaceholderText(placeholder);
    field->setFont(TarnTheme::font(12));
    field->setFixedWidth(width);
    return field;
}

}  // namespace

EditMetadataSheet::EditMetadataSheet(AppState& state, std::function<void()> save, std::function<void()> onClose,
                                     QWidget* parent)
    : SheetView(parent)
    , m_state(state)
    , m_save(std::move(save))
    , m_onClose(std::move(onClose))
{
    if (const std::optional<ObjectDetails>& details = state.objectDetails()) {
        m_bucketID = state.selectedBucketID();
        m_objectKey = details->item.key;
    }

    QLabel* hint = makeLabel(L10n::t(QStringLiteral("edit_metadata_hint")), 10, true);
    hint->setWordWrap(true);
    hint->setFixedWidth(rowWidth);

    m_rowsView = new QWidget();
    m_rowsLayout = new QVBoxLayout(m_rowsView);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(kRowSpacing);
    m_scrollArea = new RowsScrollArea(this);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setFixedWidth(rowWidth);
    m_scrollArea->setWidget(m_rowsView);
    // Set after setWidget, which fills the background.
    m_rowsView->setAutoFillBackground(false);
    // Tab goes from field to field, not to the area around them.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    // Made before the buttons, the rows come first in the order of Tab.
    rebuild(state.metadataDraft());

    m_addButton = new ClosureButton(QStringLiteral("  ") + L10n::t(QStringLiteral("metadata_add")), [this] { addRow(); },
                                    this);
    SheetView::styleAddButton(m_addButton);

    m_cancelButton = makeButton(L10n::t(QStringLiteral("cancel")), [this] { cancel(); });
    m_saveButton = makeButton(L10n::t(QStringLiteral("save")), [this] { saveAndClose(); });
    setDefaultButton(m_saveButton);

    auto* buttons = new QWidget(this);
    buttons->setFixedWidth(rowWidth);
    QBoxLayout* buttonRow = makeButtonRow({m_cancelButton, m_saveButton});
    buttons->setLayout(buttonRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(14);
    layout->addWidget(makeTitle(L10n::t(QStringLiteral("edit_metadata"))), 0, Qt::AlignLeft);
    layout->addWidget(hint, 0, Qt::AlignLeft);
    layout->addWidget(m_scrollArea, 1, Qt::AlignLeft);
    layout->addWidget(m_addButton, 0, Qt::AlignLeft);
    layout->addWidget(buttons, 0, Qt::AlignLeft);

    connect(&state, &AppState::objectDetailsChanged, this, &EditMetadataSheet::updateSaveButton);
    connect(&state, &AppState::selectedBucketIDChanged, this, &EditMetadataSheet::updateSaveButton);
    updateSaveButton();
}

void EditMetadataSheet::rebuild(const std::vector<MetadataPair>& pairs)
{
    for (const Row& row : m_rows) {
        row.view->hide();
        row.view->deleteLater();
    }
    m_rows.clear();
    for (const MetadataPair& pair : pairs) {
        Row row = makeRow(pair);
        m_rowsLayout->addWidget(row.view);
        m_rows.push_back(row);
    }
    m_scrollArea->setVisible(!m_rows.empty());
    setFocusProxy(m_rows.empty() ? nullptr : m_rows.front().key);
}

EditMetadataSheet::Row EditMetadataSheet::makeRow(const MetadataPair& pair)
{
    Row row;
    row.view = new QWidget(m_rowsView);
    row.view->setFixedWidth(rowWidth);
    row.key = makeField(QString::fromStdString(pair.key), L10n::t(QStringLiteral("metadata_key")), keyWidth, row.view);
    row.value = makeField(QString::fromStdString(pair.value), L10n::t(QStringLiteral("metadata_value")), valueWidth,
                          row.view);
    QWidget* view = row.view;
    // The button belongs to its row; the row goes on a later turn of the event loop,
    // never inside the button's own click.
    row.remove = new ClosureButton(QString(), [this, view] { removeRow(view); }, row.view);
    row.remove->setIcon(
        MingCute::icon(QStringLiteral("minus.circle.fill"), TarnTheme::color(ThemeColor::secondaryLabel)));
    row.remove->setIconSize(MingCute::iconSize(14));
    row.remove->setFlat(true);
    row.remove->setFocusPolicy(Qt::TabFocus);
    row.remove->setAutoDefault(false);
    row.remove->setCursor(Qt::PointingHandCursor);

    row.problem = makeLabel(QString(), 11, false, row.view);
    row.problem->setWordWrap(true);
    row.problem->setFixedWidth(keyWidth + kRowSpacing + valueWidth);
    QPalette problemPalette = row.problem->palette();
    problemPalette.setColor(QPalette::WindowText, TarnTheme::color(ThemeColor::systemRed));
    row.problem->setPalette(problemPalette);
    row.problem->hide();
    for (QLineEdit* field : {row.key, row.value}) {
        connect(field, &QLineEdit::textEdited, this, [this] {
            if (m_checking) {
                checkRows();
            }
        });
    }

    auto* fields = new QHBoxLayout();
    fields->setContentsMargins(0, 0, 0, 0);
    fields->setSpacing(kRowSpacing);
    fields->addWidget(row.key);
    fields->addWidget(row.value);
    fields->addWidget(row.remove);
    fields->addStretch(1);
    auto* layout = new QVBoxLayout(row.view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(fields);
    layout->addWidget(row.problem);
    return row;
}

void EditMetadataSheet::addRow()
{
    Row row = makeRow(MetadataPair{Uuid::random(), {}, {}});
    // Tab reaches the new row after the others, not after the sheet's buttons. (The
    // order is set between controls that take Tab: Qt ignores it for any other.)
    if (!m_rows.empty()) {
        QWidget::setTabOrder(m_rows.back().remove, row.key);
    }
    QWidget::setTabOrder(row.key, row.value);
    QWidget::setTabOrder(row.value, row.remove);
    QWidget::setTabOrder(row.remove, m_addButton);
    m_rowsLayout->addWidget(row.view);
    m_rows.push_back(row);
    if (m_rows.size() == 1) {
        setFocusProxy(row.key);
    }
    m_scrollArea->setVisible(true);
    // Shown now rather than by the layout on a later turn: the sheet grows at once,
    // and the new row is in sight with the caret in its key.
    row.view->show();
    layOutNow();
    row.key->setFocus(Qt::OtherFocusReason);
    m_scrollArea->ensureWidgetVisible(row.view, 0, 0);
}

void EditMetadataSheet::layOutNow()
{
    // The scroll area follows a change of its rows' size only on later turns of the
    // event loop: the rows are sized here, and the area asked again for its size.
    m_rowsLayout->activate();
    m_rowsView->resize(m_rowsView->width(), m_rowsView->sizeHint().height());
    m_scrollArea->updateGeometry();
    for (QWidget* widget = this; widget != nullptr; widget = widget->parentWidget()) {
        if (widget->layout() != nullptr) {
            widget->layout()->activate();
        }
        if (widget->isWindow()) {
            break;
        }
    }
}

void EditMetadataSheet::removeRow(QWidget* view)
{
    const auto found = std::find_if(m_rows.begin(), m_rows.end(), [view](const Row& row) { return row.view == view; });
    if (found == m_rows.end()) {
        return;
    }
    const std::size_t index = static_cast<std::size_t>(found - m_rows.begin());
    QWidget* focus = window() != nullptr ? window()->focusWidget() : nullptr;
    const bool hadFocus = focus != nullptr && view->isAncestorOf(focus);
    m_rows.erase(found);

    // The caret goes to the row that takes the removed one's place, else the one
    // above, else the sheet; hiding the row would otherwise pass it on by itself.
    if (hadFocus) {
        if (!m_rows.empty()) {
            m_rows[std::min(index, m_rows.size() - 1)].key->setFocus(Qt::OtherFocusReason);
        } else {
            setFocus(Qt::OtherFocusReason);
        }
    }
    setFocusProxy(m_rows.empty() ? nullptr : m_rows.front().key);
    m_rowsLayout->removeWidget(view);
    view->hide();
    view->deleteLater();
    m_scrollArea->setVisible(!m_rows.empty());
    layOutNow();
    if (m_checking) {
        checkRows();
    }
}

std::vector<MetadataPair> EditMetadataSheet::currentPairs() const
{
    std::vector<MetadataPair> pairs;
    for (const Row& row : m_rows) {
        // As typed: what is valid in a key is for the state to say.
        const QString key = row.key->text();
        const QString value = row.value->text();
        if (key.isEmpty() && value.isEmpty()) {
            continue;
        }
        pairs.push_back(MetadataPair{Uuid::random(), key.toStdString(), value.toStdString()});
    }
    return pairs;
}

bool EditMetadataSheet::canSave() const
{
    const std::optional<ObjectDetails>& details = m_state.objectDetails();
    return m_objectKey && details && details->item.key == *m_objectKey && m_state.selectedBucketID() == m_bucketID;
}

void EditMetadataSheet::updateSaveButton()
{
    m_saveButton->setEnabled(canSave());
}

void EditMetadataSheet::mark(Row& row, QLineEdit* faulty, const QString& reason)
{
    for (QLineEdit* field : {row.key, row.value}) {
        const bool invalid = field == faulty;
        if (field->property(TarnStyle::invalidProperty).toBool() != invalid) {
            field->setProperty(TarnStyle::invalidProperty, invalid);
            field->update();
        }
    }
    if (row.problem->text() != reason || row.problem->isHidden() == !reason.isEmpty()) {
        row.problem->setText(reason);
        row.problem->setVisible(!reason.isEmpty());
        layOutNow();
    }
}

bool EditMetadataSheet::checkRows()
{
    // The rules the state and the server apply to what Save sends: names as the
    // state trims them, rows without a name left out.
    std::set<std::string> names;
    bool allRight = true;
    for (Row& row : m_rows) {
        const std::string typed = row.key->text().toStdString();
        const std::string name(Whitespace::trimmedWithinLine(typed));
        const QString shown = QString::fromStdString(name);
        QLineEdit* faulty = nullptr;
        QString reason;
        if (!name.empty()) {
            if (!UserMetadata::isValidName(name)) {
                faulty = row.key;
                reason = L10n::t(QStringLiteral("refused_metadata_name"), shown);
            } else if (!UserMetadata::isValidValue(row.value->text().toStdString())) {
                faulty = row.value;
                reason = L10n::t(QStringLiteral("refused_metadata_value"), shown);
            } else if (!names.insert(AsciiCase::lowercased(name)).second) {
                faulty = row.key;
                reason = L10n::t(QStringLiteral("refused_metadata_duplicate"), shown);
            }
        }
        mark(row, faulty, reason);
        allRight = allRight && faulty == nullptr;
    }
    return allRight;
}

void EditMetadataSheet::saveAndClose()
{
    if (!canSave()) {
        return;
    }
    if (!checkRows()) {
        // Nothing is sent and nothing typed is lost: the caret goes to the first fault.
        m_checking = true;
        for (const Row& row : m_rows) {
            for (QLineEdit* field : {row.key, row.value}) {
                if (field->property(TarnStyle::invalidProperty).toBool()) {
                    field->setFocus(Qt::OtherFocusReason);
                    m_scrollArea->ensureWidgetVisible(row.view, 0, 0);
                    return;
                }
            }
        }
        return;
    }
    // Copies: either call may end the sheet, and with it these members.
    const std::function<void()> save = m_save;
    const std::function<void()> onClose = m_onClose;
    m_state.setMetadataDraft(currentPairs());
    if (save) {
        save();
    }
    // The state reports the outcome of the write itself.
    if (onClose) {
        onClose();
    }
}

void EditMetadataSheet::cancel()
{
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
