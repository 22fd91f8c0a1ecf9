#pragma once

#include "core/values/Uuid.h"
#include "ui/views/TintedBlurView.h"
#include "ui/window/CoalescedCall.h"

#include <QPointer>

#include <optional>

class QMenu;
class QModelIndex;
class QToolButton;

namespace tarn {

class AppState;
class HoverFadeLogoView;
class SidebarDelegate;
class SidebarModel;
class SidebarTree;
struct BucketConfig;

// The left pane: the favourite buckets, the favourite folders and every account with
// its buckets in one list, a bar with the add-account and settings buttons at the
// foot, and the maker's logo faintly above that bar. Choosing a row shows its bucket
// (and, for a favourite folder, that folder); when the state chooses a bucket by
// itself, the list's selection follows it, and it is cleared when no bucket is
// shown. Everything it does is a call of the state or one of its sheet flags.
class SidebarView : public TintedBlurView {
    Q_OBJECT

public:
    // The logo's width is this share of the pane's width, at most logoMaxWidth, and
    // it stands logoBottomGap above the bar.
    static constexpr qreal logoWidthShare = 0.8;
    static constexpr int logoMaxWidth = 250;
    static constexpr int logoBottomGap = 28;
    static constexpr int bottomBarHeight = 44;

    explicit SidebarView(AppState& state, QWidget* parent = nullptr);
    ~SidebarView() override;

    SidebarTree* tree() const { return m_tree; }
    SidebarModel* model() const { return m_model; }
    SidebarDelegate* delegate() const { return m_delegate; }
    HoverFadeLogoView* logo() const { return m_logo; }
    QToolButton* addButton() const { return m_addButton; }
    QToolButton* settingsButton() const { return m_settingsButton; }

    // The menu of a row (settings, favourite and connection test for a bucket; the
    // removal for a favourite folder); null for a group header or no row. The caller
    // owns it.
    QMenu* makeContextMenu(const QModelIndex& index);

    // Builds the list anew from the state, keeping the selection and the scroll
    // position where the rows allow; runs on its own once per turn of the event loop
    // after the configuration changes.
    void reload();
    // Selects the row of the state's bucket (the first, so a favourite's row among
    // the favourites), or clears the selection when no bucket is shown.
    void syncSelection();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeBottomBar();
    void userSelectionChanged();
    void showContextMenu(const QPoint& position);
    void toggleFavorite(const QModelIndex& index);
    void editBucket(const BucketConfig& bucket);
    void testConnection(const BucketConfig& bucket);
    void placeLogo();
    void applyBottomInset();

    AppState& m_state;
    SidebarModel* m_model;
    SidebarDelegate* m_delegate;
    SidebarTree* m_tree;
    HoverFadeLogoView* m_logo;
    QWidget* m_bottomBar = nullptr;
    QToolButton* m_addButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
    // True only while this view changes the list's selection itself, so that its own
    // change is not taken for the user's.
    bool m_isSyncingSelection = false;
    // The bucket whose row the list last selected for the state.
    std::optional<Uuid> m_syncedBucketID;
    CoalescedCall m_reload;
};

}  // namespace tarn
