#pragma once

#include "app/ScriptedUiServices.h"
#include "app/state/AppState.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "ui/sheets/SheetPresenter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QTableView;

namespace tarn::test {

// A state over a configuration in a temporary folder, a window that looks like the
// program's (a sidebar, a search field and a table of objects) as the host of a
// sheet presenter, shown and active, in English unless a test switches.
class SheetFixture : public ::testing::Test {
protected:
    SheetFixture();
    ~SheetFixture() override;

    // Runs what the event loop has queued: flag changes reach the presenter, closed
    // sheets are deleted.
    static void settle();
    // Makes a presenter over the window; its flags are applied by the next settle().
    void makePresenter();

    // Makes the configuration one account on `endpoint` holding one bucket with these
    // CDN domains, and returns that bucket as the state sees it.
    BucketConfig setOnlyBucket(const std::string& endpoint, const std::string& bucketName,
                               std::vector<PublicDomain> domains = {});

    // An account with one bucket name per entry of `buckets`.
    static StorageProfile makeProfile(const std::string& name, const std::string& endpoint,
                                      const std::string& region, const std::string& accessKeyID,
                                      std::vector<std::string> buckets = {"photos"});

    AppState& state() { return *m_state; }
    SheetPresenter& presenter() { return *m_presenter; }
    QWidget* window() { return m_window.get(); }

    QTemporaryDir m_folder;
    ConfigStore m_configStore;
    KeychainSecretStore m_secretStore;
    S3Client m_client;
    std::unique_ptr<AppState> m_state;
    ScriptedUiServices m_ui;
    std::unique_ptr<QWidget> m_window;
    QLineEdit* m_search = nullptr;
    QTableView* m_table = nullptr;
    std::unique_ptr<SheetPresenter> m_presenter;

private:
    QString m_previousLanguage;
};

}  // namespace tarn::test
