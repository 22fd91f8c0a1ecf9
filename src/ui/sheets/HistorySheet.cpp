#include "ui/sheets/HistorySheet.h"

#include "app/text/L10n.h"
#include "core/text/ByteFormatter.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/DateText.h"
#include "ui/views/IconView.h"
#include "ui/views/OverlayScrollView.h"
#include "ui/views/WrappingLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace tarn {
namespace {

// A speed is shown only for a duration long enough to mean something.
constexpr double kShortestTimedDuration = 0.01;

WrappingLabel* makeLineLabel(const QString& text, int pixelSize, ThemeColor color, QWidget* parent)
{
    // One line, cut with an ellipsis at the end when the row is too narrow.
    auto* label = new WrappingLabel(text, 1, parent);
    label->setFont(TarnTheme::font(pixelSize));
    label->setColor(TarnTheme::color(color));
    return label;
}

}  // namespace

HistorySheet::HistorySheet(const std::vector<OperationHistoryEntry>& history, std::function<void()> onClose,
                           QWidget* parent)
    : SheetView(parent)
    , m_onClose(std::move(onClose))
{
    setFixedWidth(preferredWidth);
    setMinimumHeight(200);

    QLabel* title = makeTitle(L10n::t(QStringLiteral("history")));
    // "OK" is the same in every language of the interface.
    m_okButton = makeButton(QStringLiteral("OK"), [this] {
        const std::function<void()> onClose = m_onClose;
        if (onClose) {
            onClose();
        }
    });
    setDefaultButton(m_okButton);

    auto* list = new QWidget();
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(6);
    for (const OperationHistoryEntry& entry : history) {
        QWidget* row = makeRow(entry);
        rows->addWidget(row, 0, Qt::AlignLeft);
        m_rows.push_back(row);
    }
    if (history.empty()) {
        rows->addWidget(makeLabel(L10n::t(QStringLiteral("history_empty")), 12, true), 0, Qt::AlignLeft);
    }
    // Fewer rows than fit sit at the top of the area.
    rows->addStretch(1);

    m_scrollArea = new OverlayScrollView(this);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setWidget(list);
    list->setAutoFillBackground(false);

    auto* header = new QHBoxLayout();
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(title, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(m_okButton, 0, Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(16);
    layout->addLayout(header);
    layout->addWidget(m_scrollArea, 1);
}

QSize HistorySheet::sizeHint() const
{
    return {preferredWidth, preferredHeight};
}

QString HistorySheet::titleText(const OperationHistoryEntry& entry)
{
    return QString::fromStdString(entry.action) + QStringLiteral(" \u00B7 ") + QString::fromStdString(entry.bucketName);
}

QString HistorySheet::detailText(const OperationHistoryEntry& entry)
{
    QStringList parts{QString::fromStdString(entry.detail)};
    if (entry.bytes && *entry.bytes > 0) {
        parts.append(QString::fromStdString(ByteFormatter::string(*entry.bytes)));
        if (entry.duration && *entry.duration > kShortestTimedDuration) {
            // Whole bytes per second, as the size is shown.
            const double perSecond = static_cast<double>(*entry.bytes) / *entry.duration;
            parts.append(L10n::t(QStringLiteral("history_avg_speed"),
                                 QString::fromStdString(ByteFormatter::speedString(perSecond))));
        }
    }
    return parts.join(QStringLiteral("  \u00B7  "));
}

QWidget* HistorySheet::makeRow(const OperationHistoryEntry& entry)
{
    auto* row = new QWidget();
    row->setFixedWidth(rowWidth);

    auto* icon = new IconView(entry.succeeded ? QStringLiteral("checkmark.circle") : QStringLiteral("xmark.circle"), 14,
                              TarnTheme::color(entry.succeeded ? ThemeColor::systemGreen : ThemeColor::systemRed), row);
    icon->setObjectName(entry.succeeded ? QStringLiteral("succeeded") : QStringLiteral("failed"));

    auto* texts = new QVBoxLayout();
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    WrappingLabel* title = makeLineLabel(titleText(entry), 12, ThemeColor::label, row);
    title->setObjectName(QStringLiteral("title"));
    WrappingLabel* detail = makeLineLabel(detailText(entry), 11, ThemeColor::secondaryLabel, row);
    detail->setObjectName(QStringLiteral("detail"));
    texts->addWidget(title);
    texts->addWidget(detail);

    QLabel* date = makeLabel(DateText::absolute(entry.date), 10, true);
    date->setObjectName(QStringLiteral("date"));

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(icon, 0, Qt::AlignVCenter);
    layout->addLayout(texts, 1);
    layout->addWidget(date, 0, Qt::AlignVCenter);
    return row;
}

}  // namespace tarn
