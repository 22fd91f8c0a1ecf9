#include "ui/preview/MediaPreview.h"

#include "ui/preview/MediaControlBar.h"
#include "ui/preview/PreviewLook.h"
#include "ui/preview/PreviewSurface.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"
#include "ui/views/PlainText.h"

#include <QAudioOutput>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QMediaPlayer>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace tarn {

namespace {

// Qt 6.4 can also play through its FFmpeg backend, which crashes on a machine
// without a sound device. GStreamer is the one this program is built and tested
// with; it is chosen before the first player makes Qt pick a backend.
void preferGStreamer()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) {
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    }
}

}  // namespace

MediaPreview::MediaPreview(const QUrl& url, const QString& artworkIcon, QWidget* parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
    , m_deck(new PreviewSurface())
    , m_stage(new QStackedWidget())
    , m_artwork(new QWidget())
    , m_artworkIcon(new IconView(artworkIcon, 34, TarnTheme::color(ThemeColor::tertiaryLabel)))
    , m_error(PlainText::label())
    , m_video(nullptr)
    , m_player(nullptr)
    , m_audio(nullptr)
    , m_controls(nullptr)
{
    preferGStreamer();
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_video = new QVideoWidget();
    m_player->setAudioOutput(m_audio);
    m_player->setVideoOutput(m_video);
    m_controls = new MediaControlBar(m_player, m_audio);

    m_error->setFont(TarnTheme::font(11));
    m_error->setWordWrap(true);
    m_error->setAlignment(Qt::AlignCenter);
    PreviewLook::setTextColor(m_error, ThemeColor::secondaryLabel);
    m_error->hide();
    auto* artworkLayout = new QVBoxLayout(m_artwork);
    artworkLayout->setContentsMargins(16, 12, 16, 12);
    artworkLayout->setSpacing(10);
    artworkLayout->addStretch(1);
    artworkLayout->addWidget(m_artworkIcon, 0, Qt::AlignHCenter);
    artworkLayout->addWidget(m_error);
    artworkLayout->addStretch(1);

    m_stage->addWidget(m_artwork);
    m_stage->addWidget(m_video);
    m_video->installEventFilter(this);

    auto* deckLayout = new QVBoxLayout(m_deck);
    deckLayout->setContentsMargins(1, 1, 1, 1);
    deckLayout->setSpacing(0);
    deckLayout->addWidget(m_stage, 1);
    deckLayout->addWidget(m_controls);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(m_deck);

    // Escape leaves full screen; the shortcut lives on the deck, the window then.
    auto* leave = new QShortcut(QKeySequence(Qt::Key_Escape), m_deck);
    leave->setContext(Qt::WidgetWithChildrenShortcut);
    connect(leave, &QShortcut::activated, this, [this] { setFullScreen(false); });
    connect(m_controls, &MediaControlBar::fullScreenClicked, this, [this] { setFullScreen(!m_fullScreen); });
    connect(m_player, &QMediaPlayer::hasVideoChanged, this, &MediaPreview::showPicture);
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString& text) {
        if (error == QMediaPlayer::NoError) {
            return;
        }
        m_error->setText(text);
        m_error->show();
        showPicture(false);
    });

    m_player->setSource(url);
}

MediaPreview::~MediaPreview()
{
    // The pipeline stops before the picture it draws into goes with the deck.
    m_player->stop();
    // A deck on the screen of its own belongs to nobody else.
    if (m_fullScreen) {
        delete m_deck;
    }
}

QString MediaPreview::errorText() const
{
    return m_error->isHidden() ? QString() : m_error->text();
}

void MediaPreview::showPicture(bool hasVideo)
{
    const bool picture = hasVideo && m_error->isHidden();
    m_stage->setCurrentWidget(picture ? static_cast<QWidget*>(m_video) : m_artwork);
    m_controls->setVideoAvailable(picture);
    if (!picture) {
        setFullScreen(false);
    }
}

void MediaPreview::setFullScreen(bool fullScreen)
{
    if (fullScreen == m_fullScreen) {
        return;
    }
    m_fullScreen = fullScreen;
    m_controls->setFullScreen(fullScreen);
    if (fullScreen) {
        m_layout->removeWidget(m_deck);
        m_deck->setParent(nullptr);
        m_deck->setWindowFlag(Qt::Window, true);
        // The whole screen also where no window manager places full-screen windows.
        if (QScreen* current = screen()) {
            m_deck->setGeometry(current->geometry());
        }
        m_deck->showFullScreen();
        m_deck->activateWindow();
    } else {
        m_deck->hide();
        m_deck->setWindowFlag(Qt::Window, false);
        m_deck->setParent(this);
        m_layout->addWidget(m_deck);
        m_deck->show();
    }
}

void MediaPreview::stopMedia()
{
    setFullScreen(false);
    m_player->stop();
    m_player->setSource(QUrl());
}

bool MediaPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_video && event->type() == QEvent::MouseButtonDblClick) {
        setFullScreen(!m_fullScreen);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tarn
