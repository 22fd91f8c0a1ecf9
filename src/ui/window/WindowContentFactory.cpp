#include "ui/window/WindowContentFactory.h"

#include "app/state/AppState.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/inspector/InspectorView.h"
#include "ui/sheets/SheetOperations.h"
#include "ui/sheets/SheetPresenter.h"
#include "ui/sidebar/SidebarView.h"
#include "ui/views/TintedBlurView.h"
#include "ui/window/MainToolbar.h"
#include "ui/window/TripleSplitView.h"

#include <QWidget>

namespace tarn {

namespace {

QWidget* makeSidebar(AppState& state)
{
    return new SidebarView(state);
}

QWidget* makeBrowser(AppState& state)
{
    return new ObjectBrowserView(state);
}

QWidget* makeInspector(AppState& state)
{
    // The container paints the pane's surface; the inspector draws none of its own.
    return new InspectorView(state);
}

QObject* makeSheetPresenter(AppState& state, TripleSplitView& content)
{
    auto* presenter = new SheetPresenter(state, &content, &content);
    // The state outlives every build of the content, so the operations may hold it.
    SheetOperations operations;
    operations.createFolder = [&state](const QString& name) { state.createFolder(name.toStdString()); };
    operations.moveSelectedObject = [&state](const QString& destination) {
        state.moveSelectedObject(destination.toStdString());
    };
    operations.prepareDelete = SheetOperations::deleteThrough<DeleteRequest>(
        [&state] { return state.makeDeleteRequest(); },
        [&state](const DeleteRequest& request) { state.performDelete(request); });
    presenter->setOperations(std::move(operations));
    if (auto* browser = qobject_cast<ObjectBrowserView*>(content.browser())) {
        presenter->setRestingFocus(browser->table());
    }
    return presenter;
}

QToolBar* makeToolbar(AppState&, TripleSplitView& content)
{
    return new MainToolbar(*content.commands(), content);
}

}  // namespace

WindowContentFactory WindowContentFactory::standard()
{
    WindowContentFactory factory;
    factory.sidebar = makeSidebar;
    factory.browser = makeBrowser;
    factory.inspector = makeInspector;
    factory.sheetPresenter = makeSheetPresenter;
    factory.toolbar = makeToolbar;
    return factory;
}

QWidget* WindowContentFactory::placeholderPane()
{
    return new TintedBlurView(TintedBlurView::paneTintAlpha);
}

}  // namespace tarn
