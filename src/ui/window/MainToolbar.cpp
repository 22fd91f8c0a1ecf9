#include "ui/window/MainToolbar.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/SegmentedControl.h"
#include "ui/views/TintedBlurView.h"
#include "ui/window/SeparatorSplitter.h"
#include "ui/window/TripleSplitView.h"
#include "ui/window/WindowCommands.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLayout>
#include <QPainter>

#include <algorithm>

namespace tarn {

using Command = WindowCommands::Command;

MainToolbar::MainToolbar(WindowCommands& commands, TripleSplitView& content, QWidget* parent)
    : QToolBar(parent)
    , m_content(&content)
{
    setObjectName(QStringLiteral("TarnManagerMainToolbar"));
    setMovable(false);
    setFloatable(false);
    // The window's menu of toolbars would let the user hide it for good.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFixedHeight(toolbarHeight);
    layout()->setContentsMargins(0, 0, 0, 0);
    layout()->setSpacing(0);

    auto* bar = new QWidget(this);
    bar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_leading = new QWidget(bar);
    m_navigation = new SegmentedControl({commands.action(Command::back), commands.action(Command::forward)}, bar);
    m_refresh = new SegmentedControl({commands.action(Command::refresh)}, bar);
    m_fileActions = new SegmentedControl({commands.action(Command::upload), commands.action(Command::newFolder),
                                          commands.action(Command::download), commands.action(Command::shareLink),
                                          commands.action(Command::deleteSelection)},
                                         bar);
    m_multipart = new SegmentedControl({commands.action(Command::multipartUploads)}, bar);
    m_inspector = new SegmentedControl({commands.action(Command::toggleInspector)}, bar);

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, trailingInset, 0);
    row->setSpacing(controlSpacing);
    row->addWidget(m_leading);
    for (SegmentedControl* control : {m_navigation, m_refresh, m_fileActions, m_multipart}) {
        row->addWidget(control, 0, Qt::AlignVCenter);
    }
    row->addStretch(1);
    row->addWidget(m_inspector, 0, Qt::AlignVCenter);
    addWidget(bar);

    content.sidebar()->installEventFilter(this);
    m_leading->installEventFilter(this);
    followSidebar();
}

int MainToolbar::leadingWidth() const
{
    return m_leading->width();
}

bool MainToolbar::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize || type == QEvent::Move || type == QEvent::Show) {
        followSidebar();
    }
    return QToolBar::eventFilter(watched, event);
}

void MainToolbar::followSidebar()
{
    if (!m_content) {
        return;
    }
    // Up to and including the sidebar's divider, in the row's own coordinates.
    const QWidget* sidebar = m_content->sidebar();
    const QWidget* row = m_leading->parentWidget();
    const QWidget* window = this->window();
    if (sidebar->window() != window) {
        return;
    }
    const QPoint edge = row->mapFrom(window, sidebar->mapTo(window, QPoint(sidebar->width(), 0)));
    const int width = std::max(0, edge.x() + m_content->splitter()->handleWidth() - m_leading->x());
    if (width != m_leading->width() || m_leading->minimumWidth() != width) {
        m_leading->setFixedWidth(width);
        update();
    }
}

void MainToolbar::paintEvent(QPaintEvent*)
{
    const QColor surface = TintedBlurView::surfaceColor(TintedBlurView::paneTintAlpha);
    const QColor line = TarnTheme::over(TarnTheme::color(ThemeColor::separator), surface);
    QPainter painter(this);
    painter.fillRect(rect(), surface);
    // The sidebar's divider runs on through the toolbar; the browser's side of the
    // toolbar ends in a hairline.
    const int divider = m_leading->mapTo(this, QPoint(m_leading->width(), 0)).x() - 1;
    if (divider >= 0) {
        painter.fillRect(QRect(divider, 0, 1, height()), line);
    }
    painter.fillRect(QRect(std::max(0, divider), height() - 1, width(), 1), line);
}

}  // namespace tarn
