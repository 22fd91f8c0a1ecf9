#pragma once

#include "ui/preview/StoppablePreview.h"

#include <QUrl>
#include <QWidget>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QStackedWidget;
class QVBoxLayout;
class QVideoWidget;

namespace tarn {

class IconView;
class MediaControlBar;

// Audio or video from a URL (a presigned link it streams from, or a local file), with
// the player's own control bar. Nothing plays until the user presses play. The player
// exists only while such a preview does, so the media framework is started only when
// media is previewed. Sound shows an icon where a video shows its picture; a video can
// fill the screen (Escape or a double click returns).
class MediaPreview : public QWidget, public StoppablePreview {
    Q_OBJECT

public:
    // `artworkIcon`: what stands in for the picture while there is none.
    MediaPreview(const QUrl& url, const QString& artworkIcon, QWidget* parent = nullptr);
    ~MediaPreview() override;

    QMediaPlayer* player() const { return m_player; }
    QAudioOutput* audioOutput() const { return m_audio; }
    QVideoWidget* videoWidget() const { return m_video; }
    MediaControlBar* controlBar() const { return m_controls; }
    // The error the player reported, empty while there is none.
    QString errorText() const;

    bool isFullScreen() const { return m_fullScreen; }
    void setFullScreen(bool fullScreen);

    // Pauses and lets go of the media, and leaves full screen.
    void stopMedia() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPicture(bool hasVideo);

    QVBoxLayout* m_layout;
    QWidget* m_deck;  // the stage and the controls: what goes full screen
    QStackedWidget* m_stage;
    QWidget* m_artwork;
    IconView* m_artworkIcon;
    QLabel* m_error;
    QVideoWidget* m_video;
    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
    MediaControlBar* m_controls;
    bool m_fullScreen = false;
};

}  // namespace tarn
