#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "ui/window/PreferredLanguage.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>

namespace tarn {
namespace {

using PreferredLanguageTest = test::WindowFixture;

QString standardButtonText(QDialogButtonBox::StandardButton which)
{
    QDialogButtonBox box(which);
    return box.button(which)->text();
}

TEST_F(PreferredLanguageTest, ProgramTextsAreChineseOnlyForZhAndQtTextsEnglishOnlyForEn)
{
    ASSERT_FALSE(PreferredLanguage::qtChineseTranslationFile().isEmpty())
        << "qt6-translations-l10n is not installed";
    const struct {
        const char* stored;
        bool programChinese;
        bool qtChinese;
    } cases[] = {
        {"en", false, false},
        {"zh", true, true},
        {"fr", false, true},
        {"", false, true},
        {"zh-Hans", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        storeLanguage(c.stored);
        PreferredLanguage::applyStored();
        EXPECT_EQ(L10n::languageCode(), QString::fromUtf8(c.stored));
        EXPECT_EQ(L10n::t(QStringLiteral("status_ready")),
                  c.programChinese ? QStringLiteral("就绪") : QStringLiteral("Ready"));
        EXPECT_EQ(standardButtonText(QDialogButtonBox::Cancel),
                  c.qtChinese ? QStringLiteral("取消") : QStringLiteral("Cancel"));
        EXPECT_EQ(QLocale().language(), c.qtChinese ? QLocale::Chinese : QLocale::English);
    }
}

TEST_F(PreferredLanguageTest, AMissingFileIsTheDefaultChineseAndAnUnreadableOneChangesNothing)
{
    PreferredLanguage::apply(QStringLiteral("en"));
    ASSERT_FALSE(QFile::exists(QString::fromStdString(configFile().string())));
    PreferredLanguage::applyStored();
    EXPECT_EQ(L10n::languageCode(), QStringLiteral("zh"));
    EXPECT_EQ(standardButtonText(QDialogButtonBox::Cancel), QStringLiteral("取消"));

    PreferredLanguage::apply(QStringLiteral("en"));
    std::filesystem::create_directories(configFile().parent_path());
    std::ofstream(configFile()) << "{\"schemaVersion\": 2, \"profiles\": 7";
    PreferredLanguage::applyStored();
    EXPECT_EQ(L10n::languageCode(), QStringLiteral("en"));
    EXPECT_EQ(standardButtonText(QDialogButtonBox::Cancel), QStringLiteral("Cancel"));
}

TEST_F(PreferredLanguageTest, QtsTextsFollowEachSwitchOfTheInterfaceLanguageAtOnce)
{
    ASSERT_FALSE(PreferredLanguage::qtChineseTranslationFile().isEmpty())
        << "qt6-translations-l10n is not installed";
    storeLanguage("en");
    AppDelegate& delegate = launch();
    // The chooser's type of a folder: missing from Debian's Chinese catalogue, so
    // the program supplies it.
    auto folderType = [] { return QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"); };
    EXPECT_EQ(standardButtonText(QDialogButtonBox::Cancel), QStringLiteral("Cancel"));
    EXPECT_EQ(folderType(), QStringLiteral("Folder"));

    const struct {
        const char* code;
        const char* cancel;
        const char* folder;
        QLocale::Language locale;
    } switches[] = {
        {"zh", "取消", "文件夹", QLocale::Chinese},
        {"en", "Cancel", "Folder", QLocale::English},
        {"zh", "取消", "文件夹", QLocale::Chinese},
    };
    for (const auto& change : switches) {
        SCOPED_TRACE(change.code);
        delegate.state().setLanguage(change.code);
        // Before the window is built again: a dialog open now already speaks it.
        EXPECT_EQ(standardButtonText(QDialogButtonBox::Cancel), QString::fromUtf8(change.cancel));
        EXPECT_EQ(folderType(), QString::fromUtf8(change.folder));
        EXPECT_EQ(QLocale().language(), change.locale);
        test::settle();
    }
}

}  // namespace
}  // namespace tarn
