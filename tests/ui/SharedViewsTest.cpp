#include "ui/UiTestSupport.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClearTableHeaderView.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/OverlayScrollView.h"
#include "ui/views/SheetOverlayView.h"
#include "ui/views/SheetShadowContainer.h"
#include "ui/views/TintedBlurView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

// A window that counts the keys that reach it.
class KeyCountingWindow : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        ++keys;
        QWidget::keyPressEvent(event);
    }
};

QWidget* makeSheet(const QString& title, const QString& body)
{
    auto* sheet = new TintedBlurView(0.96);
    sheet->setCornerRadius(14);
    sheet->setBorderColor(TarnTheme::color(ThemeColor::sheetBorder));
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    auto* heading = new QLabel(title, sheet);
    heading->setFont(TarnTheme::font(18));
    layout->addWidget(heading);
    layout->addWidget(new QLabel(body, sheet));
    auto* field = new QLineEdit(sheet);
    field->setPlaceholderText(QStringLiteral("photos/2024"));
    layout->addWidget(field);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(new ClosureButton(QStringLiteral("Cancel"), [] {}, sheet));
    auto* confirm = new ClosureButton(QStringLiteral("Create"), [] {}, sheet);
    confirm->setDefault(true);
    buttons->addWidget(confirm);
    layout->addLayout(buttons);
    return sheet;
}

class SheetOverlayViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<KeyCountingWindow>();
        m_window->resize(640, 420);
        m_overlay = new SheetOverlayView(m_window.get());
        m_shadow = new SheetShadowContainer(14, m_overlay);
        m_shadow->setSheet(makeSheet(QStringLiteral("New Folder"), QStringLiteral("Name of the new folder:")));
        m_shadow->adjustSize();
        m_shadow->move((640 - m_shadow->width()) / 2, (420 - m_shadow->height()) / 2);
        m_window->show();
    }

    std::unique_ptr<KeyCountingWindow> m_window;
    SheetOverlayView* m_overlay = nullptr;
    SheetShadowContainer* m_shadow = nullptr;
};

TEST_F(SheetOverlayViewTest, EscapeWithoutDismissIsSwallowed)
{
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(m_overlay, &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_EQ(m_window->keys, 0);

    QTest::keyClick(m_overlay, Qt::Key_A);
    EXPECT_EQ(m_window->keys, 1);  // other keys pass on
}

TEST_F(SheetOverlayViewTest, EscapeInsideTheSheetDismisses)
{
    int dismissed = 0;
    m_overlay->setOnDismiss([&] { ++dismissed; });
    QTest::keyClick(m_shadow->sheet()->findChild<QLineEdit*>(), Qt::Key_Escape);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(m_window->keys, 0);
}

TEST_F(SheetOverlayViewTest, OnlyAPressOnTheDimmedAreaDismisses)
{
    int dismissed = 0;
    m_overlay->setOnDismiss([&] { ++dismissed; });
    QWidget* sheet = m_shadow->sheet();
    QTest::mouseClick(sheet->findChild<QLabel*>(), Qt::LeftButton);
    QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(4, sheet->height() - 4));
    EXPECT_EQ(dismissed, 0);

    QTest::mouseClick(m_overlay, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(dismissed, 1);
    const QMargins margins = SheetShadowContainer::shadowMargins();
    QTest::mouseClick(m_shadow, Qt::LeftButton, {}, QPoint(m_shadow->width() / 2, m_shadow->height() - margins.bottom() / 2));
    EXPECT_EQ(dismissed, 2);
}

TEST_F(SheetOverlayViewTest, CoversItsWindowAsItResizes)
{
    EXPECT_EQ(m_overlay->geometry(), m_window->rect());
    m_window->resize(800, 600);
    EXPECT_EQ(m_overlay->geometry(), QRect(0, 0, 800, 600));
}

TEST_F(SheetOverlayViewTest, LookOfASheetOverTheWindow)
{
    // Something under the overlay to see it dimmed: a pane with a title and rows.
    auto* pane = new TintedBlurView(0.5, m_window.get());
    pane->setGeometry(0, 0, 220, 420);
    auto* paneLayout = new QVBoxLayout(pane);
    for (const QString& text : {QStringLiteral("收藏"), QStringLiteral("photos"), QStringLiteral("backups")}) {
        paneLayout->addWidget(new QLabel(text, pane));
    }
    paneLayout->addStretch();
    pane->lower();
    pane->show();
    test::saveGrab(m_window.get());
}

TEST(ClosureButton, RunsItsActionOnEveryClick)
{
    int runs = 0;
    ClosureButton button(QStringLiteral("Go"), [&] { ++runs; });
    button.click();
    button.click();
    EXPECT_EQ(runs, 2);
}

QImage renderAlone(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST(ClearTableHeaderView, DrawsTitlesOnlyAndNothingWithoutColumns)
{
    QStandardItemModel model(0, 0);
    QTableView table;
    auto* header = new ClearTableHeaderView(Qt::Horizontal, &table);
    table.setHorizontalHeader(header);
    table.setModel(&model);
    table.resize(400, 200);
    table.show();
    header->resize(400, 24);
    EXPECT_EQ(test::paintedPixels(renderAlone(header)), 0);

    model.setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified")});
    QCoreApplication::processEvents();
    const QImage titled = renderAlone(header);
    EXPECT_GT(test::paintedPixels(titled), 0);
    // Between the titles the header stays see-through: no bevel, no background.
    EXPECT_EQ(qAlpha(titled.pixel(header->sectionPosition(1) - 2, 2)), 0);
}

TEST(OverlayScrollView, KeepsOverlayBarsUnderAnotherStyle)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    {
        OverlayScrollView view;
        for (QScrollBar* bar : {view.verticalScrollBar(), view.horizontalScrollBar()}) {
            EXPECT_TRUE(bar->style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, bar));
        }
    }
    TarnTheme::apply(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

TEST(OverlayScrollView, LookOfAScrolledTableWithAClearHeader)
{
    TintedBlurView pane(0.5);
    auto* layout = new QVBoxLayout(&pane);
    layout->setContentsMargins(0, 12, 0, 0);

    auto* model = new QStandardItemModel(0, 3, &pane);
    model->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("Size"), QStringLiteral("Modified")});
    for (int i = 0; i < 40; ++i) {
        auto* name = new QStandardItem(MingCute::icon(QStringLiteral("document_line"), TarnTheme::color(ThemeColor::secondaryLabel)),
                                       QStringLiteral("报告-%1.pdf").arg(i));
        model->appendRow({name, new QStandardItem(QStringLiteral("%1 KB").arg(12 * i + 3)),
                          new QStandardItem(QStringLiteral("Today 09:%1").arg(i, 2, 10, QLatin1Char('0')))});
    }
    auto* table = new QTableView(&pane);
    table->setHorizontalHeader(new ClearTableHeaderView(Qt::Horizontal, table));
    table->setModel(model);
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(0, 220);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->selectRow(2);
    layout->addWidget(table);

    auto* scroll = new OverlayScrollView(&pane);
    auto* content = new QLabel(QStringLiteral("A long text in an overlay scroll view.\n").repeated(30), scroll);
    content->setMargin(12);
    scroll->setWidget(content);
    scroll->setFixedHeight(120);
    layout->addWidget(scroll);

    pane.resize(520, 420);
    pane.show();
    test::saveGrab(&pane);
}

}  // namespace
}  // namespace tarn
