#pragma once

#include "app/ScriptedUiServices.h"
#include "app/state/AppState.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "ui/WindowFixture.h"
#include "ui/window/TripleSplitView.h"
#include "ui/window/WindowContentFactory.h"

#include <QMainWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarn {

class MainToolbar;
class SidebarView;

namespace test {

// Three accounts as a user might have them: "Corvane Tarn" with three buckets (one of
// them given a Chinese display name), "Aliyun OSS" with two, and "Tencent COS" with
// none yet; optionally two favourite buckets and one favourite folder.
struct SampleAccounts {
    AppConfig config;
    BucketConfig photos;   // Corvane Tarn
    BucketConfig backups;  // Corvane Tarn
    BucketConfig designs;  // Corvane Tarn, shown as "设计稿"
    BucketConfig archive;  // Aliyun OSS
    BucketConfig logs;     // Aliyun OSS
    std::string favoriteFolder = "2024/summer trip/";
};
SampleAccounts sampleAccounts(bool withFavorites);

// The window content as the program builds it (the panes, the commands, the toolbar
// and the toasts), in a main window of the program's default size, over a state of
// the test's own: its configuration in a temporary folder, its secrets under a service
// of its own, its desktop scripted. The interface is English unless a test builds in
// another language; the window is shown and active.
class ContentFixture : public ::testing::Test {
protected:
    ContentFixture();
    ~ContentFixture() override;

    // Builds the content anew in a language ("en" or "zh").
    void build(const QString& languageCode = QStringLiteral("en"));
    // Publishes a configuration, as a save does, and lets the panes follow it.
    void useConfig(const AppConfig& config);
    // Runs what is due: queued slots, posted events and deferred deletions.
    static void settle() { test::settle(); }

    AppState& state() { return *m_state; }
    TripleSplitView& content() { return *m_content; }
    SidebarView& sidebar();
    MainToolbar& toolbar();
    QMainWindow& window() { return *m_window; }

    QTemporaryDir m_folder;
    ConfigStore m_configStore;
    KeychainSecretStore m_secretStore;
    S3Client m_client;
    std::unique_ptr<AppState> m_state;
    ScriptedUiServices m_ui;
    std::unique_ptr<QMainWindow> m_window;
    QPointer<TripleSplitView> m_content;
    QPointer<QToolBar> m_toolbar;

private:
    QString m_previousLanguage;
};

}  // namespace test
}  // namespace tarn
