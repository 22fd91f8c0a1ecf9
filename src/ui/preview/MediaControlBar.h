#pragma once

#include <QWidget>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QSlider;
class QToolButton;

namespace tarn {

// The player's own controls, in one row: play or pause, the position (drag to seek),
// the time played and the length, mute and volume, and full screen for a video.
class MediaControlBar : public QWidget {
    Q_OBJECT

public:
    MediaControlBar(QMediaPlayer* player, QAudioOutput* audio, QWidget* parent = nullptr);

    // The full-screen button is offered only when there is a picture to enlarge.
    void setVideoAvailable(bool available);
    void setFullScreen(bool fullScreen);

    QString timeText() const;
    QToolButton* playButton() const { return m_play; }
    QSlider* positionSlider() const { return m_position; }

    // "1:05", or "1:01:05" when the media lasts an hour or more.
    static QString formatTime(qint64 milliseconds, bool withHours);

signals:
    void fullScreenClicked();

private:
    void updatePlayButton();
    void updateMuteButton();
    void updateTime();

    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
    QToolButton* m_play;
    QSlider* m_position;
    QLabel* m_time;
    QToolButton* m_mute;
    QSlider* m_volume;
    QToolButton* m_fullScreen;
};

}  // namespace tarn
