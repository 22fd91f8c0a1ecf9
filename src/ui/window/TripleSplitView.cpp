#include "ui/window/TripleSplitView.h"

#include "app/state/AppState.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/StatusDotView.h"
#include "ui/theme/Animations.h"
#include "ui/window/FeedbackPresenter.h"
#include "ui/window/InspectorContainer.h"
#include "ui/window/SeparatorSplitter.h"
#include "ui/window/WindowCommands.h"
#include "ui/window/WindowContentFactory.h"

#include <QEasingCurve>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

namespace tarn {

namespace {

enum Pane { sidebarPane = 0, browserPane = 1, inspectorPane = 2 };
// The divider between the browser and the inspector.
constexpr int kInspectorDivider = 1;

QWidget* makePane(const WindowContentFactory::PaneMaker& maker, AppState& state)
{
    QWidget* pane = maker ? maker(state) : nullptr;
    return pane != nullptr ? pane : WindowContentFactory::placeholderPane();
}

}  // namespace

TripleSplitView::TripleSplitView(AppState& state, const WindowContentFactory& factory, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_splitter(new SeparatorSplitter(Qt::Horizontal, this))
    , m_sidebar(makePane(factory.sidebar, state))
    , m_browser(makePane(factory.browser, state))
    , m_inspectorContainer(new InspectorContainer(factory.inspector ? factory.inspector(state) : nullptr))
    , m_commands(new WindowCommands(state, this))
    , m_feedback(new FeedbackPresenter(state, m_browser, this))
    , m_lastSelection(state.selectedObjectKeys())
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_splitter);
    // Bubbles point at the browser's status dot when the browser has one.
    if (auto* browser = qobject_cast<ObjectBrowserView*>(m_browser)) {
        m_feedback->setBubbleAnchor(browser->statusDot());
    }

    m_sidebar->setMinimumWidth(sidebarMinWidth);
    m_sidebar->setMaximumWidth(sidebarMaxWidth);
    m_browser->setMinimumWidth(browserMinWidth);
    m_inspectorContainer->setMaximumWidth(InspectorContainer::maxWidth);
    m_splitter->addWidget(m_sidebar);
    m_splitter->addWidget(m_browser);
    m_splitter->addWidget(m_inspectorContainer);
    // The browser takes up changes of the window's width; the side panes keep theirs.
    m_splitter->setStretchFactor(sidebarPane, 0);
    m_splitter->setStretchFactor(browserPane, 1);
    m_splitter->setStretchFactor(inspectorPane, 0);
    for (int pane : {sidebarPane, browserPane, inspectorPane}) {
        m_splitter->setCollapsible(pane, false);
    }
    // The inspector is placed once the split has a width (showEvent).
    m_splitter->setSizes({sidebarInitialWidth, browserMinWidth, 0});
    m_splitter->setConstraint([this](int position, int divider) { return constrainSplitPosition(position, divider); });

    connect(&m_state, &AppState::showingPreviewChanged, this, [this] {
        // Opened by a drag of its divider, the pane is where the drag puts it.
        if (!m_openingByDrag) {
            setInspector(m_state.showingPreview(), true);
        }
    });
    connect(&m_state, &AppState::selectedObjectKeysChanged, this, &TripleSplitView::followSelection);
    connect(this, &TripleSplitView::inspectorRefreshNeeded, this, [this] { startDetached(m_state.refreshInspector()); });
}

TripleSplitView::~TripleSplitView() = default;

void TripleSplitView::setInspector(bool visible, bool animated)
{
    if (m_splitter->width() <= 0) {
        return;
    }
    const int target = visible ? m_inspectorContainer->currentWidth() : 0;
    if (m_slide) {
        m_slide->stop();
        m_slide->deleteLater();
    }
    if (!animated) {
        setInspectorWidth(target);
        return;
    }
    const int from = m_inspectorContainer->width();
    if (from == target) {
        return;
    }
    auto* slide = new QVariantAnimation(this);
    slide->setStartValue(from);
    slide->setEndValue(target);
    slide->setDuration(static_cast<int>(slideDuration.count()));
    slide->setEasingCurve(QEasingCurve::OutCubic);
    connect(slide, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& width) { setInspectorWidth(width.toInt()); });
    m_slide = slide;
    Animations::start(slide);
}

bool TripleSplitView::isSliding() const
{
    return m_slide && m_slide->state() == QAbstractAnimation::Running;
}

int TripleSplitView::constrainSplitPosition(int proposed, int dividerIndex)
{
    if (dividerIndex != kInspectorDivider) {
        return proposed;
    }
    const int edge = m_splitter->width() - m_splitter->handleWidth();
    if (!m_state.showingPreview()) {
        // Pulled out of the window's edge, the hidden pane opens as the toolbar's
        // switch would open it: with what is selected now, and the switch on.
        if (proposed >= edge) {
            return edge;
        }
        {
            const QScopedValueRollback openingByDrag(m_openingByDrag, true);
            m_state.togglePreviewPanel();
        }
        if (!m_state.showingPreview()) {
            return edge;
        }
    }
    // A drag takes over from a slide that is still running.
    if (m_slide) {
        m_slide->stop();
        m_slide->deleteLater();
    }
    const int width = std::clamp(edge - proposed, InspectorContainer::minWidth, InspectorContainer::maxWidth);
    m_inspectorContainer->setCurrentWidth(width);
    return edge - width;
}

void TripleSplitView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_didSetInitial && m_splitter->width() > 0) {
        m_didSetInitial = true;
        setInspector(m_state.showingPreview(), false);
    }
}

void TripleSplitView::setInspectorWidth(int width)
{
    QList<int> sizes = m_splitter->sizes();
    if (sizes.size() != 3) {
        return;
    }
    const int total = sizes[sidebarPane] + sizes[browserPane] + sizes[inspectorPane];
    sizes[inspectorPane] = width;
    sizes[browserPane] = std::max(0, total - sizes[sidebarPane] - width);
    m_splitter->setSizes(sizes);
}

void TripleSplitView::followSelection()
{
    // Selecting the same keys again changes nothing the inspector shows.
    if (m_state.selectedObjectKeys() == m_lastSelection) {
        return;
    }
    m_lastSelection = m_state.selectedObjectKeys();
    emit inspectorRefreshNeeded();
}

}  // namespace tarn
