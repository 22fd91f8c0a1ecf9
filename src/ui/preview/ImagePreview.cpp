#include "ui/preview/ImagePreview.h"

#include "app/text/L10n.h"
#include "ui/preview/BackgroundLoad.h"
#include "ui/preview/ImageCanvas.h"
#include "ui/preview/ImageZoomBar.h"
#include "ui/preview/PreviewPages.h"
#include "ui/theme/OnScreenWatcher.h"
#include "ui/views/OverlayScrollView.h"

#include <QMouseEvent>
#include <QMovie>
#include <QNativeGestureEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

// One wheel notch or one click of the pill zooms by this factor.
constexpr qreal kZoomStep = 1.25;

}  // namespace

ImagePreview::ImagePreview(const QString& path, QWidget* parent)
    : QWidget(parent)
    , m_scroll(new OverlayScrollView())
    , m_canvas(new ImageCanvas())
    , m_pages(new PreviewPages(m_scroll, L10n::t(QStringLiteral("preview_unsupported"))))
    , m_zoomBar(new ImageZoomBar(this))
{
    m_scroll->setWidgetResizable(false);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setWidget(m_canvas);
    // The image lies on the pane itself, like the other cards' content.
    m_canvas->setAutoFillBackground(false);
    m_scroll->viewport()->installEventFilter(this);
    m_scroll->viewport()->setCursor(Qt::ArrowCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
    m_zoomBar->hide();
    connect(m_zoomBar, &ImageZoomBar::zoomInClicked, this, [this] { setZoom(zoom() * kZoomStep); });
    connect(m_zoomBar, &ImageZoomBar::zoomOutClicked, this, [this] { setZoom(zoom() / kZoomStep); });

    auto decode = [path] { return ImageDecoder::decode(path); };
    m_pendingDecode = loadInBackground(this, decode, [this, path](const DecodedImage& decoded) {
        present(decoded, path);
    });
}

void ImagePreview::present(const DecodedImage& decoded, const QString& path)
{
    m_loaded = true;
    if (decoded.image.isNull()) {
        m_pages->showFailure();
        emit loaded();
        return;
    }
    m_canvas->setImage(decoded.image);
    const int decodedSide = std::max(decoded.image.width(), decoded.image.height());
    const int fileSide = std::max(decoded.storedSize.width(), decoded.storedSize.height());
    m_fileScale = fileSide > decodedSide ? static_cast<qreal>(fileSide) / decodedSide : 1.0;
    // The size the file declares, and the first frame as it came out: a frame may be
    // larger than the file says.
    const auto area = [](QSize size) { return qint64{size.width()} * size.height(); };
    const bool playable = decoded.storedSize.isValid() && area(decoded.storedSize) <= maxAnimatedPixels &&
                          area(decoded.image.size()) <= maxAnimatedPixels;
    QString note;
    if (decoded.animated && !playable) {
        // The first frame was decoded off the interface thread, scaled; every further
        // frame would be decoded on it, at full size.
        note = L10n::t(QStringLiteral("preview_animation_still"));
    } else if (decoded.animated) {
        m_movie = new QMovie(path, QByteArray(), this);
        m_movie->setCacheMode(QMovie::CacheNone);
        const QSize frame = m_movie->frameRect().size();
        if (frame.isValid() && ImageDecoder::cappedSize(frame) != frame) {
            m_movie->setScaledSize(ImageDecoder::cappedSize(frame));
        }
        connect(m_movie, &QMovie::frameChanged, this, [this] { m_canvas->setImage(m_movie->currentImage()); });
        m_movie->start();
        // An animation nobody sees would wake the program at every frame.
        auto* watcher = new OnScreenWatcher(m_canvas);
        connect(watcher, &OnScreenWatcher::onScreenChanged, m_movie, [movie = m_movie](bool onScreen) {
            if (movie->state() != QMovie::NotRunning) {
                movie->setPaused(!onScreen);
            }
        });
        m_movie->setPaused(!watcher->isOnScreen());
    }
    m_pages->showContent(note);
    m_canvas->setVisibleSize(m_scroll->viewport()->size());
    m_zoomBar->show();
    m_zoomBar->raise();
    refreshZoomBar();
    emit loaded();
}

bool ImagePreview::showsFailure() const
{
    return m_pages->showsFailure();
}

QImage ImagePreview::shownImage() const
{
    return m_canvas->image();
}

QString ImagePreview::failureText() const
{
    return m_pages->failureText();
}

QString ImagePreview::noteText() const
{
    return m_pages->noteText();
}

qreal ImagePreview::zoom() const
{
    return m_canvas->zoom();
}

qreal ImagePreview::shownScale() const
{
    return m_canvas->displayScale() * m_canvas->devicePixelRatioF() / m_fileScale;
}

QString ImagePreview::zoomText() const
{
    return m_zoomBar->zoomText();
}

void ImagePreview::setZoom(qreal zoom, QPoint anchor)
{
    zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    // Snap to the ends, so rounding never leaves the zoom a hair away from 1 or 8.
    if (std::abs(zoom - minimumZoom) < 0.01) {
        zoom = minimumZoom;
    }
    if (std::abs(zoom - maximumZoom) < 0.01) {
        zoom = maximumZoom;
    }
    QWidget* viewport = m_scroll->viewport();
    if (anchor.x() < 0) {
        anchor = viewport->rect().center();
    }
    // The image point under the anchor, as a fraction of the image, stays put.
    const QRectF before = m_canvas->imageRect();
    const QPointF onCanvas = m_canvas->mapFrom(viewport, anchor);
    const QPointF fraction((onCanvas.x() - before.left()) / before.width(), (onCanvas.y() - before.top()) / before.height());
    m_canvas->setZoom(zoom);
    const QRectF after = m_canvas->imageRect();
    const QPointF target(after.left() + fraction.x() * after.width(), after.top() + fraction.y() * after.height());
    m_scroll->horizontalScrollBar()->setValue(static_cast<int>(std::lround(target.x() - anchor.x())));
    m_scroll->verticalScrollBar()->setValue(static_cast<int>(std::lround(target.y() - anchor.y())));
    refreshZoomBar();
    viewport->setCursor(zoom > minimumZoom ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

void ImagePreview::stopMedia()
{
    delete m_pendingDecode;
    if (m_movie != nullptr) {
        m_movie->stop();
    }
}

bool ImagePreview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_scroll->viewport()) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Resize:
        // The fitted size, and with it the scale shown, follows the view.
        m_canvas->setVisibleSize(m_scroll->viewport()->size());
        refreshZoomBar();
        break;
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const qreal notches = wheel->angleDelta().y() / 120.0;
            setZoom(zoom() * std::pow(kZoomStep, notches), wheel->position().toPoint());
            return true;
        }
        break;
    }
    case QEvent::NativeGesture: {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            setZoom(zoom() * (1 + gesture->value()), gesture->position().toPoint());
            return true;
        }
        break;
    }
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        setZoom(zoom() > minimumZoom ? minimumZoom : 2, mouse->position().toPoint());
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && zoom() > minimumZoom) {
            m_dragging = true;
            m_dragStart = mouse->globalPosition().toPoint();
            m_dragScroll = {m_scroll->horizontalScrollBar()->value(), m_scroll->verticalScrollBar()->value()};
            m_scroll->viewport()->setCursor(Qt::ClosedHandCursor);
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            const QPoint moved = static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - m_dragStart;
            m_scroll->horizontalScrollBar()->setValue(m_dragScroll.x() - moved.x());
            m_scroll->verticalScrollBar()->setValue(m_dragScroll.y() - moved.y());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragging) {
            m_dragging = false;
            m_scroll->viewport()->setCursor(zoom() > minimumZoom ? Qt::OpenHandCursor : Qt::ArrowCursor);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ImagePreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeZoomBar();
}

void ImagePreview::refreshZoomBar()
{
    const qreal current = zoom();
    m_zoomBar->setScale(shownScale(), current > minimumZoom, current < maximumZoom);
    // A longer figure widens the pill, which stays in the corner.
    placeZoomBar();
}

void ImagePreview::placeZoomBar()
{
    // In the corner of the image, above the note when there is one.
    const QSize size = m_zoomBar->sizeHint();
    const int bottom = m_scroll->isVisible() ? m_scroll->mapTo(this, QPoint(0, m_scroll->height())).y() : height();
    m_zoomBar->setGeometry(width() - size.width() - 8, bottom - size.height() - 8, size.width(), size.height());
}

}  // namespace tarn
