#include "app/AppStateTestAccess.h"
#include "app/ServerAppStateFixture.h"
#include "app/ScriptedUiServices.h"
#include "app/text/L10n.h"
#include "integration/S3TestBuckets.h"
#include "ui/PreviewTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"
#include "ui/inspector/InspectorView.h"
#include "ui/preview/FileCardPreview.h"
#include "ui/preview/ImagePreview.h"
#include "ui/preview/MediaPreview.h"
#include "ui/preview/PdfPreview.h"
#include "ui/preview/TextPreview.h"
#include "ui/preview/WebPreview.h"
#include "ui/window/InspectorContainer.h"

#include <QFile>
#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

// The inspector over a real state listing a bucket of the S3 test server: each kind of
// file is uploaded, listed, read back as its preview and shown in the pane.
class InspectorServerTest : public test::ServerAppStateFixture {
protected:
    void TearDown() override
    {
        m_container.reset();
        test::settle();
        L10n::setLanguageCode(QStringLiteral("zh"));
        ServerAppStateFixture::TearDown();
    }

    void build(const char* language)
    {
        L10n::setLanguageCode(QString::fromLatin1(language));
        m_container.reset();
        m_view = new InspectorView(*m_app);
        m_container = std::make_unique<InspectorContainer>(m_view);
        m_container->resize(InspectorContainer::initialWidth, 900);
        m_container->show();
        test::settle();
    }

    // Selects the object, reads its head and its file from the server, and publishes
    // them as the state's refresh does once the preview is ready.
    void inspect(const BucketConfig& bucket, const std::string& key)
    {
        m_app->setSelectedObjectKeys({key});
        const std::optional<ObjectItem> item = m_app->inspectorObject();
        ASSERT_TRUE(item.has_value()) << key;
        const S3Credentials credentials = test::credentialsOf(*m_server);
        const ObjectDetails details = m_app->client().details(*item, bucket, credentials);
        const std::filesystem::path file = m_app->client().downloadObject(
            key, bucket, credentials, std::filesystem::path(m_downloads.path().toStdString()));
        AppStateTestAccess::setObjectDetails(*m_app, details);
        AppStateTestAccess::setInlinePreviewState(
            *m_app, InlinePreviewState::ready(key, QUrl::fromLocalFile(QString::fromStdString(file.string()))));
        test::settle();
    }

    test::PreviewTestFiles m_files;
    QTemporaryDir m_downloads;
    std::unique_ptr<InspectorContainer> m_container;
    InspectorView* m_view = nullptr;
};

TEST_F(InspectorServerTest, EachKindOfFileInTheBucketIsPreviewed)
{
    const BucketConfig made = test::createBucket(*m_server, "inspector");
    const S3Credentials credentials = test::credentialsOf(*m_server);
    QFile clip(test::mediaClipPath());
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QString clipCopy = m_files.write(QStringLiteral("clip.webm"), clip.readAll());
    struct Upload {
        std::string key;
        QString file;
        const QMetaObject* view;
    };
    const std::vector<Upload> uploads{
        {"preview/harbour.png", m_files.png(QStringLiteral("harbour.png"), QSize(1200, 800)), &ImagePreview::staticMetaObject},
        {"preview/portrait.jpg", m_files.jpegWithOrientation(QStringLiteral("portrait.jpg"), QSize(640, 480), 6),
         &ImagePreview::staticMetaObject},
        {"preview/blink.gif", m_files.animatedGif(QStringLiteral("blink.gif"), QSize(120, 80)), &ImagePreview::staticMetaObject},
        {"preview/manual.pdf", m_files.pdf(QStringLiteral("manual.pdf"), 3), &PdfPreview::staticMetaObject},
        {"preview/README.md",
         m_files.write(QStringLiteral("README.md"),
                       "# Tarn Manager\n\nA desktop client for **object storage**.\n\n## Features\n\n"
                       "- Browse buckets and folders\n- Upload with `multipart`\n- Share links\n\n"
                       "> Previews never run what they show.\n\n```\nscripts/test -R Inspector\n```\n"),
         &WebPreview::staticMetaObject},
        {"preview/page.html",
         m_files.write(QStringLiteral("page.html"),
                       "<html><body><h1>Release notes</h1><p>Version 2.1 adds <b>previews</b>.</p>"
                       "<script>document.write('ran')</script><img src=\"http://127.0.0.1:9/t.png\"></body></html>"),
         &WebPreview::staticMetaObject},
        {"preview/notes.txt", m_files.write(QStringLiteral("notes.txt"), "第一行：你好\nSecond line\n\tindented\n"),
         &TextPreview::staticMetaObject},
        {"preview/tone.wav", m_files.wav(QStringLiteral("tone.wav"), 2000), &MediaPreview::staticMetaObject},
        {"preview/clip.webm", clipCopy, &MediaPreview::staticMetaObject},
        {"preview/archive.zip", m_files.write(QStringLiteral("archive.zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')),
         &FileCardPreview::staticMetaObject},
    };
    for (const Upload& upload : uploads) {
        m_app->client().upload(std::filesystem::path(upload.file.toStdString()), made, credentials, upload.key);
    }
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "preview/");
    ASSERT_TRUE(waitUntilSettled());
    ASSERT_EQ(m_app->objects().size(), uploads.size());

    for (const char* language : {"en", "zh"}) {
        build(language);
        for (const Upload& upload : uploads) {
            SCOPED_TRACE(upload.key);
            inspect(bucket, upload.key);
            QWidget* content = m_view->previewContent();
            ASSERT_NE(content, nullptr);
            EXPECT_EQ(content->metaObject(), upload.view);
            if (auto* media = qobject_cast<MediaPreview*>(content)) {
                ASSERT_TRUE(QTest::qWaitFor(
                    [media] { return media->player()->mediaStatus() == QMediaPlayer::LoadedMedia; }, 10000));
            }
            if (auto* image = qobject_cast<ImagePreview*>(content)) {
                ASSERT_TRUE(QTest::qWaitFor([image] { return image->isLoaded(); }, 5000));
                EXPECT_FALSE(image->showsFailure());
            }
            // Pages, text and PDF render in the background.
            QTest::qWait(400);
            const std::string name = upload.key.substr(upload.key.rfind('/') + 1);
            test::saveGrab(m_container.get(), QString::fromLatin1(language) + QLatin1Char('-') + QString::fromStdString(name));
        }
    }
}

}  // namespace
}  // namespace tarn
