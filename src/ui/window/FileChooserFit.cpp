#include "ui/window/FileChooserFit.h"

#include "core/text/ByteFormatter.h"
#include "ui/views/DateText.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeView>

#include <algorithm>
#include <chrono>

namespace tarn {
namespace {

// Wide enough for the sidebar and four columns of Chinese or English texts.
constexpr QSize kOpeningSize{860, 520};
// Never more of the screen than this.
constexpr double kScreenShare = 0.9;
// The places beside the folder: wide enough for a user's name.
constexpr int kSidebarWidth = 160;

// Names keep at least this much when the chooser cannot be made wide enough.
constexpr int kNarrowestNameColumn = 160;

// The columns of Qt's chooser.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

// The chooser's rows with sizes and dates written as the window writes them.
class ChooserTexts : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex source = mapToSource(index);
        if (index.column() == kSizeColumn && !files->isDir(source)) {
            return QString::fromStdString(ByteFormatter::string(files->size(source)));
        }
        if (index.column() == kDateColumn) {
            const QDateTime modified = files->lastModified(source);
            if (modified.isValid()) {
                return DateText::absolute(TimePoint(std::chrono::milliseconds(modified.toMSecsSinceEpoch())));
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// Size, type and date grow to their widest visible text or header.
void growColumns(QTreeView& view)
{
    QHeaderView* header = view.header();
    for (int column = 1; column < header->count(); ++column) {
        // QTreeView hides the item view's public question behind a protected override.
        const int contents = static_cast<const QAbstractItemView&>(view).sizeHintForColumn(column);
        const int needed = std::max(contents, header->sectionSizeHint(column));
        if (needed > header->sectionSize(column)) {
            header->resizeSection(column, needed);
        }
    }
}

// In a chooser too narrow for all of it (a small screen), names give way (they are
// cut in the middle) so that sizes, types and dates stay in view.
void keepColumnsInView(QTreeView& view)
{
    QHeaderView* header = view.header();
    const int excess = header->length() - view.viewport()->width();
    if (excess > 0) {
        header->resizeSection(0, std::max(kNarrowestNameColumn, header->sectionSize(0) - excess));
    }
}

}  // namespace

void FileChooserFit::install(QFileDialog* dialog)
{
    dialog->installEventFilter(new FileChooserFit(dialog));
}

QTreeView* FileChooserFit::detailView(const QFileDialog* dialog)
{
    return dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
}

FileChooserFit::FileChooserFit(QFileDialog* dialog)
    : QObject(dialog)
    , m_dialog(dialog)
{
}

bool FileChooserFit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dialog && event->type() == QEvent::Show && !m_fitted) {
        fitFirstShowing();
    }
    return QObject::eventFilter(watched, event);
}

void FileChooserFit::fitFirstShowing()
{
    // Qt makes its own chooser's widgets only when it shows it in place of the
    // desktop's; until then, and with the desktop's chooser, there is nothing to fit.
    QTreeView* view = detailView(m_dialog);
    if (view == nullptr) {
        return;
    }
    m_fitted = true;
    if (m_dialog->proxyModel() == nullptr) {
        m_dialog->setProxyModel(new ChooserTexts(m_dialog));
    }
    if (auto* files = m_dialog->findChild<QFileSystemModel*>()) {
        connect(files, &QFileSystemModel::directoryLoaded, this, &FileChooserFit::widenColumns, Qt::QueuedConnection);
    }
    growColumns(*view);
    auto* splitter = m_dialog->findChild<QSplitter*>(QStringLiteral("splitter"));
    const bool splitInTwo = splitter != nullptr && splitter->sizes().size() == 2;
    const int sidebarGrowth = splitInTwo ? std::max(0, kSidebarWidth - splitter->sizes().constFirst()) : 0;

    QSize size = m_dialog->size().expandedTo(kOpeningSize);
    // The columns as they now are, beside the sidebar and the dialog's margins.
    int columns = 0;
    for (int column = 0; column < view->header()->count(); ++column) {
        columns += view->header()->isSectionHidden(column) ? 0 : view->header()->sectionSize(column);
    }
    const int around = m_dialog->width() - view->viewport()->width() + sidebarGrowth;
    size.setWidth(std::max(size.width(), around + columns + view->verticalScrollBar()->sizeHint().width()));
    if (const QScreen* screen = m_dialog->screen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(QSize(static_cast<int>(available.width() * kScreenShare),
                                    static_cast<int>(available.height() * kScreenShare)));
    }
    m_dialog->resize(size.expandedTo(m_dialog->minimumSizeHint()));
    if (sidebarGrowth > 0) {
        const QList<int> sizes = splitter->sizes();
        const int total = sizes.constFirst() + sizes.constLast();
        splitter->setSizes({kSidebarWidth, std::max(0, total - kSidebarWidth)});
    }
    keepColumnsInView(*view);
}

void FileChooserFit::widenColumns()
{
    if (QTreeView* view = detailView(m_dialog)) {
        growColumns(*view);
        keepColumnsInView(*view);
    }
}

}  // namespace tarn
