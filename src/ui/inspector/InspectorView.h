#pragma once

#include "core/storage/StorageModels.h"
#include "ui/preview/PreviewActions.h"
#include "ui/window/CoalescedCall.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QGridLayout;
class QVBoxLayout;

namespace tarn {

class ActionTile;
class AppState;
class OverlayScrollView;
class PreviewHost;

// The right-hand pane: what is selected in the browser. One object shows its preview,
// four action tiles, its details with its user metadata, and the share link; one
// folder the tiles and a short details card; anything else a centred hint. Everything
// shown is read from the state when the pane rebuilds, which it does once for each
// burst of changes of the preview state and the object's details (the state publishes
// them when the selection changes); every button calls a state operation or sets one
// of its sheet flags. Only the ready preview view outlives a rebuild, so a video plays
// on while the details arrive; it is stopped when the selection moves on and when the
// preview pane is hidden. A hidden pane builds nothing until it is shown again.
class InspectorView : public QWidget {
    Q_OBJECT

public:
    enum class Layout { empty, folder, object };

    // `actions` reach the desktop from the previews; by default through the state's
    // desktop services.
    explicit InspectorView(AppState& state, QWidget* parent = nullptr);
    InspectorView(AppState& state, PreviewActions actions, QWidget* parent = nullptr);
    ~InspectorView() override;

    // Builds the whole pane anew from the state, now.
    void rebuild();

    Layout currentLayout() const { return m_layout; }
    OverlayScrollView* scrollView() const { return m_scroll; }
    // The centred box of the empty layout; null in the other two.
    QWidget* emptyBox() const { return m_emptyBox; }
    PreviewHost* previews() const { return m_previews; }
    // What the preview card shows: the ready view, the ring or a text; null without it.
    QWidget* previewContent() const { return m_previewContent; }
    QList<ActionTile*> actionTiles() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildObject(const ObjectItem& object);
    void buildFolder(const ObjectPrefix& prefix);
    void buildEmpty();
    void clearEmpty();
    void append(QWidget* card);
    QWidget* actionsRow(bool isFolder);
    QWidget* detailsSection(const ObjectItem& object);
    QWidget* shareSection();
    void copyToClipboard(const QString& text);
    void previewVisibilityChanged();
    // The controls of the cards that Tab stops at, in its order.
    static QList<QWidget*> tabStops(const QList<QPointer<QWidget>>& cards);

    AppState& m_state;
    QGridLayout* m_root;
    OverlayScrollView* m_scroll;
    QWidget* m_document;
    QVBoxLayout* m_stack;
    QPointer<QWidget> m_emptyBox;
    PreviewHost* m_previews;
    QPointer<QWidget> m_previewContent;
    QList<QPointer<QWidget>> m_cards;
    Layout m_layout = Layout::empty;
    QString m_shownSubject;  // the bucket and the object or folder last built
    bool m_showingPreview;
    CoalescedCall m_rebuild;
};

}  // namespace tarn
