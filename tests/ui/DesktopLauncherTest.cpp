#include "app/FinishWithin.h"
#include "ui/window/DesktopLauncher.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

namespace tarn {
namespace {

using Outcome = DesktopLauncher::Outcome;
using test::finishWithin;

// Stand-ins for the desktop's launcher: shell scripts that answer as xdg-open does.
class DesktopLauncherTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    // A launcher that writes down the file it was given, then runs `then`.
    QString launcher(const QString& name, const QString& then) const
    {
        const QString path = m_folder.filePath(name);
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\nprintf '%s' \"$1\" > '" + m_folder.filePath(name + ".given") + "'\n" + then + "\n")
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QString given(const QString& name) const
    {
        QFile file(m_folder.filePath(name + ".given"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir m_folder;
};

TEST_F(DesktopLauncherTest, TheLaunchersAnswerSaysWhetherTheFileWasOpened)
{
    const std::filesystem::path file = "/tmp/tarn files/report 2024.pdf";
    const struct {
        const char* name;
        const char* then;
        Outcome expected;
    } cases[] = {
        {"opens", "exit 0", Outcome::opened},
        {"no-method", "exit 3", Outcome::noApplication},
        {"action-failed", "exit 4", Outcome::noApplication},
        {"syntax", "exit 1", Outcome::launcherFailed},
        {"crashes", "kill -9 $$", Outcome::launcherFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name);
        const std::optional<Outcome> outcome =
            finishWithin(DesktopLauncher::open(file, launcher(name, QString::fromLatin1(c.then))));
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(*outcome, c.expected);
        // The file's path as one argument, spaces and all.
        EXPECT_EQ(given(name), QStringLiteral("/tmp/tarn files/report 2024.pdf"));
    }

    const std::optional<Outcome> missing =
        finishWithin(DesktopLauncher::open(file, m_folder.filePath(QStringLiteral("no-such-launcher"))));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(*missing, Outcome::launcherFailed);
}

TEST_F(DesktopLauncherTest, ALauncherStillWaitingForItsApplicationCountsAsOpened)
{
    // It waits until the test lets it end, as one waits for the application it started.
    const QString stop = m_folder.filePath(QStringLiteral("stop"));
    const QString ended = m_folder.filePath(QStringLiteral("ended"));
    const QString waits = launcher(QStringLiteral("waits"), QStringLiteral("while [ ! -e '%1' ]; do sleep 0.05; done\n"
                                                                         "touch '%2'")
                                                            .arg(stop, ended));
    const std::optional<Outcome> outcome =
        finishWithin(DesktopLauncher::open("/tmp/a.txt", waits, std::chrono::milliseconds(300)));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(*outcome, Outcome::opened);
    EXPECT_FALSE(QFile::exists(ended)) << "it runs on";
    QFile(stop).open(QIODevice::WriteOnly);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ended); }, 10000));
}

}  // namespace
}  // namespace tarn
