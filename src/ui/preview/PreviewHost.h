#pragma once

#include "app/state/InlinePreviewState.h"
#include "core/storage/StorageModels.h"
#include "ui/preview/PreviewActions.h"
#include "ui/preview/PreviewKind.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

namespace tarn {

class AppState;

// Turns the inspected object's preview state into the widget of the preview card, and
// keeps the last ready view so that the pane's rebuilds (one per change of the state
// or of the object's details) reuse it: a video keeps playing, a page keeps its
// scroll position, as long as the URL stays the same. A view for another URL first
// stops the old one. Main thread only.
//
// Ownership: the placeholders and the ring are the caller's. The ready view moves
// from card to card: place it in the new card before the old card is deleted (or
// delete the old card later), or park it first. A view the host lets go of is stopped
// and deleted by the host.
class PreviewHost : public QObject {
    Q_OBJECT

public:
    // `progressSource`, when given, feeds the download ring; it must outlive the host.
    explicit PreviewHost(PreviewActions actions, const AppState* progressSource = nullptr, QObject* parent = nullptr);
    ~PreviewHost() override;

    // The preview card's content for the inspected object: the ready view for its
    // key, the download ring while it downloads, the state's text when it has none,
    // "loading" otherwise.
    QWidget* preview(const ObjectItem& object, const InlinePreviewState& state,
                     const std::optional<ObjectDetails>& details);

    // The view of an object's ready preview at `url`, cached by URL.
    QWidget* readyPreview(const ObjectItem& object, const QUrl& url, const std::optional<ObjectDetails>& details);

    QWidget* cachedPreview() const { return m_cachedPreview; }
    QUrl cachedPreviewURL() const { return m_cachedPreviewURL; }

    // Stops the cached view, lets go of it and deletes it (the folder and empty
    // layouts, and when the preview panel is hidden).
    void dropCachedPreview();
    // Takes the cached view out of its card, so that deleting the card keeps it.
    void parkCachedPreview();

    // Stops media, loading and animation in a view and everything inside it.
    static void stopMedia(QWidget* view);

    // A new view of a kind for a ready URL; the height is the caller's to set.
    static QWidget* makeView(PreviewKind kind, const ObjectItem& object, const QUrl& url,
                             const std::optional<ObjectDetails>& details, const PreviewActions& actions);

private:
    PreviewActions m_actions;
    const AppState* m_progressSource;
    QPointer<QWidget> m_cachedPreview;
    QUrl m_cachedPreviewURL;
};

}  // namespace tarn
