#include "ui/window/WindowContentFactory.h"

#include "ui/browser/ObjectBrowserView.h"
#include "ui/sheets/SheetPresenter.h"
#include "ui/views/TintedBlurView.h"
#include "ui/window/TripleSplitView.h"

#include <QWidget>

namespace tarn {

namespace {

QWidget* makeSidebar(AppState&)
{
    return WindowContentFactory::placeholderPane();
}

QWidget* makeBrowser(AppState& state)
{
    return new ObjectBrowserView(state);
}

QWidget* makeInspector(AppState&)
{
    // The container paints the pane's surface; an empty inspector adds nothing to it.
    return new QWidget();
}

QObject* makeSheetPresenter(AppState& state, TripleSplitView& content)
{
    return new SheetPresenter(state, &content, &content);
}

}  // namespace

WindowContentFactory WindowContentFactory::standard()
{
    WindowContentFactory factory;
    factory.sidebar = makeSidebar;
    factory.browser = makeBrowser;
    factory.inspector = makeInspector;
    factory.sheetPresenter = makeSheetPresenter;
    // No toolbar yet: nothing to make.
    factory.toolbar = nullptr;
    return factory;
}

QWidget* WindowContentFactory::placeholderPane()
{
    return new TintedBlurView(TintedBlurView::paneTintAlpha);
}

}  // namespace tarn
