#include "app/text/L10n.h"
#include "ui/PreviewTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/preview/MediaControlBar.h"
#include "ui/preview/MediaPreview.h"

#include <QAudioOutput>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QMediaPlayer>
#include <QPointer>
#include <QSlider>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QToolButton>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace tarn {
namespace {

using test::PreviewTestFiles;

// Serves one file over HTTP on the loopback address, with byte ranges, as a storage
// service serves a presigned link (without the TLS).
class OneFileHttpServer {
public:
    explicit OneFileHttpServer(QByteArray body)
        : m_body(std::move(body))
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url(const QString& name) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2?X-Amz-Signature=0123").arg(m_server.serverPort()).arg(name));
    }
    int requests() const { return m_requests; }

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        ++m_requests;
        const QByteArray head = request.left(end).toLower();
        m_pending.remove(socket);
        qint64 first = 0;
        qint64 last = m_body.size() - 1;
        const qsizetype range = head.indexOf("range: bytes=");
        if (range >= 0) {
            const QByteArray spec = head.mid(range + 13, head.indexOf("\r\n", range) - range - 13);
            const QList<QByteArray> ends = spec.split('-');
            first = ends.value(0).toLongLong();
            if (ends.size() > 1 && !ends[1].isEmpty()) {
                last = std::min(last, ends[1].toLongLong());
            }
        }
        const QByteArray part = m_body.mid(first, last - first + 1);
        QByteArray response = range >= 0 ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        response += "Content-Type: video/webm\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
        response += "Content-Length: " + QByteArray::number(part.size()) + "\r\n";
        if (range >= 0) {
            response += "Content-Range: bytes " + QByteArray::number(first) + "-" + QByteArray::number(last) + "/" +
                        QByteArray::number(m_body.size()) + "\r\n";
        }
        socket->write(response + "\r\n" + part);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_body;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_requests = 0;
};

// The player plays through GStreamer under the offscreen platform: with no sound
// device it still runs on the pipeline's clock, and a video's frames reach its sink.
class MediaPreviewTest : public ::testing::Test {
protected:
    MediaPreview* open(const QUrl& url, const QString& artwork)
    {
        auto* media = new MediaPreview(url, artwork);
        media->setFixedHeight(260);
        m_pane.reset(test::makePreviewPane(media));
        m_pane->show();
        return media;
    }

    static bool loaded(MediaPreview* media)
    {
        return QTest::qWaitFor([media] { return media->player()->mediaStatus() == QMediaPlayer::LoadedMedia; }, 10000);
    }

    void TearDown() override { L10n::setLanguageCode(QStringLiteral("zh")); }

    PreviewTestFiles m_files;
    // What a test counts of the frames. Frames still come while the pane is torn
    // down, so the counts outlive it (members go in reverse order).
    int m_frames = 0;
    QSize m_frameSize;
    std::unique_ptr<QWidget> m_pane;
};

TEST_F(MediaPreviewTest, SoundWaitsForPlayAndThenItsPositionMovesOn)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    MediaPreview* media = open(QUrl::fromLocalFile(m_files.wav(QStringLiteral("tone.wav"), 3000)), QStringLiteral("waveform"));
    ASSERT_TRUE(loaded(media)) << media->errorText().toStdString();
    EXPECT_EQ(media->player()->duration(), 3000);
    QTest::qWait(300);
    EXPECT_EQ(media->player()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_EQ(media->player()->position(), 0);
    EXPECT_EQ(media->controlBar()->timeText(), QStringLiteral("0:00 / 0:03"));
    EXPECT_EQ(media->controlBar()->playButton()->toolTip(), QStringLiteral("Play"));
    EXPECT_FALSE(media->player()->hasVideo());
    test::saveGrab(m_pane.get());

    media->controlBar()->playButton()->click();
    EXPECT_EQ(media->controlBar()->playButton()->toolTip(), QStringLiteral("Pause"));
    // The bar follows the player's own position as the player reports it.
    QSlider* position = media->controlBar()->positionSlider();
    ASSERT_TRUE(QTest::qWaitFor([position] { return position->value() >= 1000; }, 5000))
        << "position " << media->player()->position();
    EXPECT_GE(media->player()->position(), position->value());
    EXPECT_TRUE(media->controlBar()->timeText().startsWith(QStringLiteral("0:01")));
    test::saveGrab(m_pane.get(), QStringLiteral("playing"));

    media->stopMedia();
    EXPECT_EQ(media->player()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_TRUE(media->player()->source().isEmpty());
}

TEST_F(MediaPreviewTest, AVideoShowsItsFramesWhilePlaying)
{
    MediaPreview* media = open(QUrl::fromLocalFile(test::mediaClipPath()), QStringLiteral("film"));
    ASSERT_TRUE(loaded(media)) << media->errorText().toStdString();
    EXPECT_TRUE(media->player()->hasVideo());
    EXPECT_EQ(media->player()->duration(), 2000);
    QObject::connect(media->videoWidget()->videoSink(), &QVideoSink::videoFrameChanged, media,
                     [this](const QVideoFrame& frame) {
                         ++m_frames;
                         m_frameSize = frame.size();
                     });
    media->player()->play();
    ASSERT_TRUE(QTest::qWaitFor([media] { return media->player()->position() >= 500; }, 5000))
        << "position " << media->player()->position();
    EXPECT_GT(m_frames, 2);
    EXPECT_EQ(m_frameSize, QSize(80, 60));
    // The picture itself cannot be grabbed offscreen; the grab shows the control bar.
    test::saveGrab(m_pane.get());
}

TEST_F(MediaPreviewTest, AVideoStreamsFromAWebLink)
{
    QFile clip(test::mediaClipPath());
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    OneFileHttpServer server(clip.readAll());
    MediaPreview* media = open(server.url(QStringLiteral("bucket/clips/ball.webm")), QStringLiteral("film"));
    ASSERT_TRUE(loaded(media)) << media->errorText().toStdString();
    EXPECT_GE(server.requests(), 1);
    EXPECT_TRUE(media->player()->hasVideo());
    QObject::connect(media->videoWidget()->videoSink(), &QVideoSink::videoFrameChanged, media, [this] { ++m_frames; });
    media->player()->play();
    ASSERT_TRUE(QTest::qWaitFor([media] { return media->player()->position() >= 500; }, 5000))
        << "position " << media->player()->position() << " " << media->errorText().toStdString();
    EXPECT_GT(m_frames, 2);
}

TEST_F(MediaPreviewTest, FullScreenTakesThePictureAndTheControlsAlongAndComesBack)
{
    MediaPreview* media = open(QUrl::fromLocalFile(test::mediaClipPath()), QStringLiteral("film"));
    ASSERT_TRUE(loaded(media));
    QWidget* deck = media->controlBar()->parentWidget();
    media->setFullScreen(true);
    EXPECT_TRUE(deck->isWindow());
    EXPECT_TRUE(deck->isFullScreen());
    EXPECT_EQ(media->controlBar()->window(), deck);
    media->setFullScreen(false);
    EXPECT_FALSE(deck->isWindow());
    EXPECT_EQ(deck->parentWidget(), media);
    EXPECT_TRUE(deck->isVisible());

    // Stopping leaves full screen; a preview discarded in full screen takes its window along.
    media->setFullScreen(true);
    media->stopMedia();
    EXPECT_FALSE(media->isFullScreen());
    media->setFullScreen(true);
    QPointer<QWidget> detached = deck;
    m_pane.reset();
    EXPECT_TRUE(detached.isNull());
}

TEST_F(MediaPreviewTest, VolumeMuteAndTimeTexts)
{
    MediaPreview* media = open(QUrl::fromLocalFile(m_files.wav(QStringLiteral("tone.wav"), 500)), QStringLiteral("waveform"));
    auto* volume = media->controlBar()->findChildren<QSlider*>().last();
    volume->setValue(30);
    EXPECT_FLOAT_EQ(media->audioOutput()->volume(), 0.3f);
    media->audioOutput()->setMuted(true);
    volume->setValue(40);
    EXPECT_FALSE(media->audioOutput()->isMuted());

    EXPECT_EQ(MediaControlBar::formatTime(0, false), QStringLiteral("0:00"));
    EXPECT_EQ(MediaControlBar::formatTime(65'400, false), QStringLiteral("1:05"));
    EXPECT_EQ(MediaControlBar::formatTime(3'725'000, true), QStringLiteral("1:02:05"));
    EXPECT_EQ(MediaControlBar::formatTime(-5, false), QStringLiteral("0:00"));
}

TEST_F(MediaPreviewTest, AFileThatIsNoMediaSaysSo)
{
    MediaPreview* media =
        open(QUrl::fromLocalFile(m_files.write(QStringLiteral("fake.mp4"), QByteArray(4096, 'x'))), QStringLiteral("film"));
    ASSERT_TRUE(QTest::qWaitFor([media] { return !media->errorText().isEmpty(); }, 10000));
    EXPECT_EQ(media->player()->playbackState(), QMediaPlayer::StoppedState);
    test::saveGrab(m_pane.get());
}

}  // namespace
}  // namespace tarn
