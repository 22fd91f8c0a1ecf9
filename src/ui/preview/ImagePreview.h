#pragma once

#include "ui/preview/ImageDecoder.h"
#include "ui/preview/StoppablePreview.h"

#include <QPointer>
#include <QWidget>

class QMovie;

namespace tarn {

class ImageCanvas;
class ImageZoomBar;
class OverlayScrollView;
class PreviewPages;

// An image, decoded off the interface thread (upright, at most 4,096 pixels on its
// longer side), fitted to the view and zoomable from 1 to 8 times: with the pill in
// the corner, Ctrl and the wheel, a pinch, or a double click; dragging pans a zoomed
// image. Animated images play while they can be seen; their frames are decoded on
// the interface thread, so one of more than maxAnimatedPixels per frame (a small file
// can hold forty frames of 25 megapixels) shows its first frame, scaled, with a note
// instead. An image no decoder of this machine can read shows the "unsupported" text.
class ImagePreview : public QWidget, public StoppablePreview {
    Q_OBJECT

public:
    static constexpr qreal minimumZoom = 1;
    static constexpr qreal maximumZoom = 8;
    // The largest frame played in place: about a megapixel, which decodes within a
    // few milliseconds.
    static constexpr qint64 maxAnimatedPixels = 1024 * 1024;

    explicit ImagePreview(const QString& path, QWidget* parent = nullptr);

    bool isLoaded() const { return m_loaded; }
    bool showsFailure() const;
    // The frame shown, as decoded.
    QImage shownImage() const;
    bool isAnimated() const { return m_movie != nullptr; }
    QMovie* movie() const { return m_movie; }
    // The failure text, empty while the image is shown.
    QString failureText() const;
    // The note under the image; empty when there is none.
    QString noteText() const;

    // The magnification of the fitted image, from minimumZoom (fitted) to maximumZoom.
    qreal zoom() const;
    // Zooms keeping the image point under `anchor` (viewport coordinates) in place;
    // without an anchor, the centre of the view.
    void setZoom(qreal zoom, QPoint anchor = QPoint(-1, -1));
    // The scale the image is drawn at: screen pixels per pixel of the image file (a
    // large image is decoded smaller, and a high-density screen has more pixels than
    // the layout counts). What the zoom pill shows, in percent.
    qreal shownScale() const;
    QString zoomText() const;

    void stopMedia() override;

signals:
    void loaded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void present(const DecodedImage& decoded, const QString& path);
    void placeZoomBar();
    void refreshZoomBar();

    OverlayScrollView* m_scroll;
    ImageCanvas* m_canvas;
    PreviewPages* m_pages;
    ImageZoomBar* m_zoomBar;
    QMovie* m_movie = nullptr;
    // Pixels of the file per pixel decoded (above 1 when decoding scaled it down).
    qreal m_fileScale = 1;
    QPointer<QObject> m_pendingDecode;
    QPoint m_dragStart;
    QPoint m_dragScroll;
    bool m_dragging = false;
    bool m_loaded = false;
};

}  // namespace tarn
