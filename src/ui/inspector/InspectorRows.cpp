#include "ui/inspector/InspectorRows.h"

#include "ui/icons/MingCute.h"
#include "ui/inspector/MiddleElidedLabel.h"
#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/PlainText.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace tarn::InspectorRows {

namespace {

constexpr int kRowVerticalInset = 9;
constexpr int kRowHorizontalInset = 12;
constexpr int kLabelWidth = 84;
constexpr int kSectionSpacing = 9;

using PreviewLook::cssColor;

QLabel* label(const QString& text, int pixelSize, ThemeColor color)
{
    auto* result = new QLabel(text);
    PlainText::apply(result);
    result->setFont(TarnTheme::font(pixelSize));
    PreviewLook::setTextColor(result, color);
    return result;
}

}  // namespace

QWidget* sectionTitle(const QString& text)
{
    return label(text, 13, ThemeColor::label);
}

QWidget* metaRow(const DetailRow& row, const std::function<void(const QString&)>& copy)
{
    auto* widget = new QWidget();
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(kRowHorizontalInset, kRowVerticalInset, kRowHorizontalInset, kRowVerticalInset);
    layout->setSpacing(14);

    QLabel* name = label(row.label, 12, ThemeColor::secondaryLabel);
    name->setFixedWidth(kLabelWidth);
    // A metadata key longer than the column is cut at its end; the tip names it whole.
    name->setToolTip(PlainText::toolTip(row.label));
    auto* value = new MiddleElidedLabel(row.value);
    value->setFont(TarnTheme::font(12));
    PreviewLook::setTextColor(value, ThemeColor::label);
    layout->addWidget(name, 0, Qt::AlignTop);
    layout->addWidget(value, 1, Qt::AlignTop);

    if (row.copyText && copy) {
        auto* button = new ClosureButton(QString(), [copy, text = *row.copyText] { copy(text); });
        button->setIcon(MingCute::icon(QStringLiteral("doc.on.doc"), TarnTheme::color(ThemeColor::secondaryLabel)));
        button->setIconSize(MingCute::iconSize(12));
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::TabFocus);
        button->setToolTip(PlainText::toolTip(row.label));
        button->setAccessibleName(row.label);
        button->setStyleSheet(QStringLiteral("QPushButton{border:none;padding:0;background:transparent;}"));
        button->setFixedSize(MingCute::iconSize(12) + QSize(4, 4));
        layout->addWidget(button, 0, Qt::AlignTop);
    }
    return widget;
}

QWidget* linkRow(const QString& title, const QString& iconName, std::function<void()> action)
{
    auto* button = new ClosureButton(QStringLiteral("  ") + title, std::move(action));
    button->setIcon(MingCute::icon(iconName, TarnTheme::color(ThemeColor::label)));
    button->setIconSize(MingCute::iconSize(13));
    button->setFont(TarnTheme::font(12));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    button->setAccessibleName(title);
    button->setStyleSheet(QStringLiteral("QPushButton{text-align:left;border:none;padding:0;background:transparent;"
                                         "color:%1;}QPushButton:hover{color:%2;}")
                              .arg(cssColor(TarnTheme::color(ThemeColor::label)),
                                   cssColor(TarnTheme::color(ThemeColor::link))));
    auto* row = new QWidget();
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(kRowHorizontalInset, kRowVerticalInset, kRowHorizontalInset, kRowVerticalInset);
    layout->addWidget(button, 1);
    return row;
}

QWidget* separator()
{
    auto* line = new QFrame();
    line->setFrameShape(QFrame::NoFrame);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, TarnTheme::color(ThemeColor::separator));
    line->setPalette(palette);
    return line;
}

QWidget* vCard(const QList<QWidget*>& views)
{
    auto* card = new QWidget();
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    bool first = true;
    for (QWidget* view : views) {
        if (!first) {
            layout->addWidget(separator());
        }
        first = false;
        layout->addWidget(view);
    }
    return card;
}

QWidget* section(const QString& title, QWidget* content)
{
    auto* widget = new QWidget();
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSectionSpacing);
    layout->addWidget(sectionTitle(title));
    layout->addWidget(content);
    return widget;
}

}  // namespace tarn::InspectorRows
