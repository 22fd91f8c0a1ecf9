#include "ui/preview/MediaControlBar.h"

#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

using PreviewLook::cssColor;

// A thin track, the part up to the knob in a colour of its own, a small round knob.
QString sliderStyle(const QColor& done)
{
    return QStringLiteral("QSlider::groove:horizontal{height:4px;border-radius:2px;background:%1;}"
                          "QSlider::sub-page:horizontal{height:4px;border-radius:2px;background:%2;}"
                          "QSlider::handle:horizontal{width:10px;height:10px;margin:-3px 0;border-radius:5px;"
                          "background:%3;}"
                          "QSlider::sub-page:horizontal:disabled{background:%1;}"
                          "QSlider::handle:horizontal:disabled{background:%4;}")
        .arg(cssColor(TarnTheme::color(ThemeColor::quaternaryLabel)), cssColor(done),
             cssColor(TarnTheme::over(TarnTheme::color(ThemeColor::label), TarnTheme::color(ThemeColor::windowBackground))),
             cssColor(TarnTheme::color(ThemeColor::tertiaryLabel)));
}

QToolButton* controlButton(QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIconSize(MingCute::iconSize(14));
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

void setIcon(QToolButton* button, const QString& icon, const QString& toolTipKey)
{
    button->setIcon(MingCute::icon(icon, TarnTheme::color(ThemeColor::label)));
    button->setToolTip(L10n::t(toolTipKey));
    button->setAccessibleName(button->toolTip());
}

}  // namespace

MediaControlBar::MediaControlBar(QMediaPlayer* player, QAudioOutput* audio, QWidget* parent)
    : QWidget(parent)
    , m_player(player)
    , m_audio(audio)
    , m_play(controlButton(this))
    , m_position(new QSlider(Qt::Horizontal, this))
    , m_time(new QLabel(this))
    , m_mute(controlButton(this))
    , m_volume(new QSlider(Qt::Horizontal, this))
    , m_fullScreen(controlButton(this))
{
    // The time played in the brand colour; the volume quieter, it is no progress.
    m_position->setStyleSheet(sliderStyle(TarnTheme::brand()));
    m_position->setRange(0, 0);
    m_position->setFocusPolicy(Qt::NoFocus);
    m_volume->setStyleSheet(sliderStyle(TarnTheme::color(ThemeColor::secondaryLabel)));
    m_volume->setRange(0, 100);
    m_volume->setValue(static_cast<int>(std::lround(m_audio->volume() * 100)));
    m_volume->setFixedWidth(52);
    m_volume->setFocusPolicy(Qt::NoFocus);
    m_time->setFont(TarnTheme::font(11));
    PreviewLook::setTextColor(m_time, ThemeColor::secondaryLabel);
    setIcon(m_fullScreen, QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("media_full_screen"));
    m_fullScreen->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 6, 4);
    layout->setSpacing(6);
    layout->addWidget(m_play);
    layout->addWidget(m_position, 1);
    layout->addWidget(m_time);
    layout->addWidget(m_mute);
    layout->addWidget(m_volume);
    layout->addWidget(m_fullScreen);

    connect(m_play, &QToolButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState) {
            m_player->pause();
        } else {
            m_player->play();
        }
    });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &MediaControlBar::updatePlayButton);
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        m_position->setRange(0, static_cast<int>(duration));
        updateTime();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (!m_position->isSliderDown()) {
            m_position->setValue(static_cast<int>(position));
        }
        updateTime();
    });
    connect(m_player, &QMediaPlayer::seekableChanged, m_position, &QSlider::setEnabled);
    // Dragging seeks as it goes; a click on the track jumps by a page.
    connect(m_position, &QSlider::sliderMoved, m_player, [this](int value) { m_player->setPosition(value); });
    connect(m_position, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QSlider::SliderPageStepAdd || action == QSlider::SliderPageStepSub) {
            m_player->setPosition(m_position->sliderPosition());
        }
    });
    connect(m_mute, &QToolButton::clicked, this, [this] { m_audio->setMuted(!m_audio->isMuted()); });
    connect(m_audio, &QAudioOutput::mutedChanged, this, &MediaControlBar::updateMuteButton);
    connect(m_volume, &QSlider::valueChanged, m_audio, [this](int value) {
        m_audio->setVolume(static_cast<float>(value) / 100.0f);
        if (m_audio->isMuted() && value > 0) {
            m_audio->setMuted(false);
        }
    });
    connect(m_fullScreen, &QToolButton::clicked, this, &MediaControlBar::fullScreenClicked);

    m_position->setEnabled(m_player->isSeekable());
    m_position->setPageStep(5000);
    updatePlayButton();
    updateMuteButton();
    updateTime();
}

void MediaControlBar::setVideoAvailable(bool available)
{
    m_fullScreen->setVisible(available);
}

void MediaControlBar::setFullScreen(bool fullScreen)
{
    if (fullScreen) {
        setIcon(m_fullScreen, QStringLiteral("arrow.down.right.and.arrow.up.left"), QStringLiteral("media_exit_full_screen"));
    } else {
        setIcon(m_fullScreen, QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("media_full_screen"));
    }
}

QString MediaControlBar::timeText() const
{
    return m_time->text();
}

QString MediaControlBar::formatTime(qint64 milliseconds, bool withHours)
{
    const qint64 seconds = std::max<qint64>(0, milliseconds) / 1000;
    const QChar zero(QLatin1Char('0'));
    if (withHours) {
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, zero)
            .arg(seconds % 60, 2, 10, zero);
    }
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
}

void MediaControlBar::updatePlayButton()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        setIcon(m_play, QStringLiteral("pause.fill"), QStringLiteral("media_pause"));
    } else {
        setIcon(m_play, QStringLiteral("play.fill"), QStringLiteral("media_play"));
    }
}

void MediaControlBar::updateMuteButton()
{
    if (m_audio->isMuted()) {
        setIcon(m_mute, QStringLiteral("speaker.slash"), QStringLiteral("media_unmute"));
    } else {
        setIcon(m_mute, QStringLiteral("speaker.wave.2"), QStringLiteral("media_mute"));
    }
}

void MediaControlBar::updateTime()
{
    const qint64 duration = m_player->duration();
    const bool hours = duration >= 3600 * 1000;
    m_time->setText(formatTime(m_player->position(), hours) + QStringLiteral(" / ") + formatTime(duration, hours));
}

}  // namespace tarn
