#include "app/text/L10n.h"
#include "app/text/TextTable.h"

#include <QFuture>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace tarn {
namespace {

// Every test leaves the language as the program starts with it.
class L10nTest : public ::testing::Test {
protected:
    void TearDown() override { L10n::setLanguageCode(QStringLiteral("zh")); }
};

QStringList placeholders(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%[d@]"));
    QStringList found;
    for (auto match = placeholder.globalMatch(text); match.hasNext();) found.append(match.next().captured());
    return found;
}

TEST_F(L10nTest, BothTablesHoldTheSameKeysInTheSameOrderOnce)
{
    const QStringList english = L10n::englishKeys();
    const QStringList chinese = L10n::chineseKeys();
    ASSERT_GE(english.size(), 288);
    EXPECT_EQ(english, chinese);
    EXPECT_EQ(QSet<QString>(english.cbegin(), english.cend()).size(), english.size()) << "a key occurs twice";

    // Lower-case words joined by underscores; only the share kinds end in a raw value.
    static const QRegularExpression keyShape(QStringLiteral("^[a-z0-9]+(_[a-z0-9]+)*(_cdnAnonymous|_cdnToken)?$"));
    for (const QString& key : english) EXPECT_TRUE(keyShape.match(key).hasMatch()) << key.toStdString();
}

TEST_F(L10nTest, EveryKeyHasTextsWithTheSamePlaceholdersInBothLanguages)
{
    const TextTable english(englishTexts());
    const TextTable chinese(chineseTexts());
    // After taking out the placeholders no "%" may remain: anything else would be a
    // conversion the formatter does not fill.
    static const QRegularExpression placeholder(QStringLiteral("%[d@]"));
    int withValues = 0;
    for (const QString& key : english.keys()) {
        const QString* en = english.find(key);
        const QString* zh = chinese.find(key);
        ASSERT_NE(en, nullptr) << key.toStdString();
        ASSERT_NE(zh, nullptr) << key.toStdString();
        EXPECT_FALSE(en->trimmed().isEmpty()) << key.toStdString();
        EXPECT_FALSE(zh->trimmed().isEmpty()) << key.toStdString();
        EXPECT_EQ(placeholders(*en), placeholders(*zh)) << key.toStdString();
        EXPECT_FALSE(QString(*en).remove(placeholder).contains(u'%')) << key.toStdString();
        EXPECT_FALSE(QString(*zh).remove(placeholder).contains(u'%')) << key.toStdString();
        if (!placeholders(*en).isEmpty()) ++withValues;
    }
    EXPECT_GE(withValues, 35);
}

TEST_F(L10nTest, ExactlyElevenKeysReadTheSameInBothLanguages)
{
    const TextTable english(englishTexts());
    const TextTable chinese(chineseTexts());
    QStringList same;
    for (const QString& key : english.keys()) {
        if (*english.find(key) == *chinese.find(key)) same.append(key);
    }
    const QStringList expected{"app_name", "access_key", "secret_key", "content_type", "etag", "metadata",
        "cdn_domain_host", "domain_host_placeholder", "preview_kind_markdown", "preview_kind_html",
        "share_cdn_anonymous"};
    EXPECT_EQ(same, expected);
    EXPECT_EQ(*english.find(QStringLiteral("app_name")), QStringLiteral("TarnManager"));
}

struct GivenText {
    const char* key;
    const char* english;
    const char* chinese;
};

TEST_F(L10nTest, GivenTextsAreKeptWordForWord)
{
    const std::vector<GivenText> cases{
        {"transfer_section_done", "Completed", "已完成"},
        {"status_loading", "Loading objects...", "正在加载文件..."},
        {"time_before_yesterday", "2 days ago", "前天"},
        {"invalid_name", "Invalid name: it cannot contain \"/\", nor be \".\" or \"..\"",
            "名称不可用：不能含「/」，也不能是「.」或「..」"},
        {"upload_part_failed", "Part %d failed after %d attempt(s): %@", "分片 %d 上传失败（共尝试 %d 次）：%@"},
        {"upload_failed_reason", "%d upload(s) failed, first: %@ — %@", "%d 个文件上传失败，首个：%@ — %@"},
        {"import_missing_accounts",
            "Accounts without a Secret Key: %@. In Settings › Accounts, use “Add Account” and enter the same "
            "provider, region and Access Key together with the Secret Key.",
            "缺少 Secret Key 的账号：%@。请在「设置 › 账号」中用「添加账号」，选择相同的服务商与区域，填入相同的 "
            "Access Key 和对应的 Secret Key。"},
        {"share_link_unavailable", "Cannot generate link (check params / domain)", "无法生成链接（检查参数/域名）"},
    };
    for (const GivenText& given : cases) {
        const QString key = QString::fromUtf8(given.key);
        L10n::setLanguageCode(QStringLiteral("en"));
        EXPECT_EQ(L10n::t(key), QString::fromUtf8(given.english)) << given.key;
        L10n::setLanguageCode(QStringLiteral("zh"));
        EXPECT_EQ(L10n::t(key), QString::fromUtf8(given.chinese)) << given.key;
    }
}

// Every counted text has its form for one, in both tables, with the same values; in
// English that form says the thing counted in the singular.
TEST_F(L10nTest, CountedTextsHaveASingularFormForOne)
{
    const TextTable english(englishTexts());
    const TextTable chinese(chineseTexts());
    int forms = 0;
    for (const QString& key : english.keys()) {
        if (!key.endsWith(QStringLiteral("_one"))) continue;
        ++forms;
        const QString base = key.chopped(4);
        ASSERT_NE(english.find(base), nullptr) << key.toStdString();
        ASSERT_NE(chinese.find(key), nullptr) << key.toStdString();
        EXPECT_FALSE(english.find(key)->contains(QStringLiteral("(s)"))) << key.toStdString();
    }
    EXPECT_GE(forms, 20);

    L10n::setLanguageCode(QStringLiteral("en"));
    const struct {
        const char* key;
        qint64 count;
        QString text;
    } counted[] = {
        {"profile_bucket_count", 1, QStringLiteral("1 bucket")},
        {"profile_bucket_count", 2, QStringLiteral("2 buckets")},
        {"multipart_uploads_count", 1, QStringLiteral("1 upload")},
        {"multipart_uploads_count", 0, QStringLiteral("0 uploads")},
        {"abort_upload_count", 1, QStringLiteral("1 upload")},
        {"share_link_count", 1, QStringLiteral("1 file")},
        {"transfer_delete_subtitle", 1, QStringLiteral("1 item")},
        {"upload_failed_count", 1, QStringLiteral("1 upload failed")},
        {"upload_failed_count", 3, QStringLiteral("3 uploads failed")},
        {"days_count", 1, QStringLiteral("1 day")},
        {"hours_count", 1, QStringLiteral("1 hour")},
    };
    for (const auto& c : counted) {
        EXPECT_EQ(L10n::t(L10n::countKey(QString::fromLatin1(c.key), c.count), c.count), c.text) << c.key;
    }
    // Done of total: the total decides ("1 / 1 item", "0 / 1 item", "1 / 2 items").
    EXPECT_EQ(L10n::t(L10n::countKey(QStringLiteral("transfer_units"), 1), 1, 1), QStringLiteral("1 / 1 item"));
    EXPECT_EQ(L10n::t(L10n::countKey(QStringLiteral("transfer_units"), 2), 1, 2), QStringLiteral("1 / 2 items"));
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(L10n::t(L10n::countKey(QStringLiteral("transfer_units"), 1), 1, 1), QStringLiteral("1 / 1 项"));
}

TEST_F(L10nTest, OnlyTheExactCodeZhSelectsChinese)
{
    EXPECT_EQ(L10n::languageCode(), QStringLiteral("zh"));
    EXPECT_EQ(L10n::t(QStringLiteral("transfer_section_done")), QStringLiteral("已完成"));

    for (const char* code : {"en", "fr", "zh-Hans", "ZH", "", " zh", "zh_CN"}) {
        L10n::setLanguageCode(QString::fromUtf8(code));
        EXPECT_EQ(L10n::languageCode(), QString::fromUtf8(code));
        EXPECT_FALSE(L10n::isChinese()) << code;
        EXPECT_EQ(L10n::t(QStringLiteral("transfer_section_done")), QStringLiteral("Completed")) << code;
        EXPECT_EQ(L10n::t(QStringLiteral("clipboard_file")), QStringLiteral("Clipboard")) << code;
    }
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_TRUE(L10n::isChinese());
    EXPECT_EQ(L10n::t(QStringLiteral("clipboard_file")), QStringLiteral("剪切板"));
}

TEST_F(L10nTest, MissingKeyFallsBackToEnglishThenToTheKey)
{
    const TextEntry englishEntries[]{{"both", "Both"}, {"english_only", "English only"}};
    const TextEntry chineseEntries[]{{"both", "两者"}};
    const TextTable english(englishEntries);
    const TextTable chinese(chineseEntries);

    EXPECT_EQ(lookUpText(QStringLiteral("both"), &chinese, english), QStringLiteral("两者"));
    EXPECT_EQ(lookUpText(QStringLiteral("english_only"), &chinese, english), QStringLiteral("English only"));
    EXPECT_EQ(lookUpText(QStringLiteral("nowhere"), &chinese, english), QStringLiteral("nowhere"));
    EXPECT_EQ(lookUpText(QStringLiteral("both"), nullptr, english), QStringLiteral("Both"));

    for (const char* code : {"zh", "en"}) {
        L10n::setLanguageCode(QString::fromUtf8(code));
        EXPECT_EQ(L10n::t(QStringLiteral("no_such_key_anywhere")), QStringLiteral("no_such_key_anywhere"));
        EXPECT_EQ(L10n::t(QStringLiteral("Transfer_Section_Done")), QStringLiteral("Transfer_Section_Done"))
            << "keys are case-sensitive";
    }
}

struct FormatCase {
    const char* pattern;
    QStringList arguments;
    const char* expected;
};

TEST_F(L10nTest, FormatterFillsInOrderAndNeverFails)
{
    const std::vector<FormatCase> cases{
        {"%d / %d items", {"3", "10"}, "3 / 10 items"},
        {"%d upload(s) failed, first: %@ — %@", {"2", "a.txt", "R"}, "2 upload(s) failed, first: a.txt — R"},
        // Too few arguments: the unfilled placeholders stay as written.
        {"Part %d failed after %d attempt(s): %@", {"7"}, "Part 7 failed after %d attempt(s): %@"},
        {"%@", {}, "%@"},
        // Too many: the rest is ignored.
        {"%d items", {"1", "2", "3"}, "1 items"},
        // Conversions the tables never use take no argument and stay as written.
        {"%s %x %1$@ %d", {"5"}, "%s %x %1$@ 5"},
        {"%%d means %d", {"9"}, "%d means 9"},
        {"100%% of %d", {"4"}, "100% of 4"},
        {"50%", {"1"}, "50%"},
        {"%", {}, "%"},
        {"", {"1"}, ""},
        // An argument is inserted once and never read as a pattern itself.
        {"%@ — %@", {"100%d.txt", "R"}, "100%d.txt — R"},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(L10n::format(QString::fromUtf8(c.pattern), c.arguments), QString::fromUtf8(c.expected))
            << c.pattern;
    }
}

// Restores the C library's and Qt's default locales.
class GermanLocale {
public:
    GermanLocale() : m_previous(std::setlocale(LC_ALL, nullptr))
    {
        std::setlocale(LC_ALL, "de_DE.UTF-8");  // may be missing here; Qt's own default is set anyway
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ~GermanLocale()
    {
        std::setlocale(LC_ALL, m_previous.c_str());
        QLocale::setDefault(QLocale::c());
    }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

private:
    std::string m_previous;
};

TEST_F(L10nTest, NumbersArePlainDigitsWhateverTheLocale)
{
    const GermanLocale german;
    ASSERT_EQ(QLocale().toString(1234567), QStringLiteral("1.234.567")) << "the grouping locale did not take effect";

    L10n::setLanguageCode(QStringLiteral("en"));
    EXPECT_EQ(L10n::t(QStringLiteral("transfer_units"), 1234567, 10), QStringLiteral("1234567 / 10 items"));
    EXPECT_EQ(L10n::t(QStringLiteral("upload_part_failed"), 7, 3, QStringLiteral("The request timed out")),
        QStringLiteral("Part 7 failed after 3 attempt(s): The request timed out"));
    EXPECT_EQ(L10n::t(QStringLiteral("objects_count"), qint64{5'000'000'000}), QStringLiteral("5000000000 objects"));

    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(L10n::t(QStringLiteral("transfer_units"), 1234567, 10), QStringLiteral("1234567 / 10 项"));
    EXPECT_EQ(L10n::t(QStringLiteral("import_missing_cdn"), "photos, backup"),
        QStringLiteral("缺少 CDN 鉴权 Key 的桶：photos, backup。请在桶设置中重新填写。"));
    EXPECT_EQ(L10n::t(QStringLiteral("time_minutes_ago"), -3), QStringLiteral("-3 分钟前"));
}

// Failure texts are made on worker threads while the interface may switch language.
TEST_F(L10nTest, LookupsOnWorkerThreadsSeeOneLanguageOrTheOther)
{
    const QString english = QStringLiteral("Completed");
    const QString chinese = QStringLiteral("已完成");
    auto lookUp = [&] {
        int bad = 0;
        for (int i = 0; i < 20000; ++i) {
            const QString text = L10n::t(QStringLiteral("transfer_section_done"));
            const QString code = L10n::languageCode();
            if ((text != english && text != chinese) || (code != QStringLiteral("zh") && code != QStringLiteral("en"))) ++bad;
        }
        return bad;
    };
    std::vector<QFuture<int>> workers;
    for (int i = 0; i < 4; ++i) workers.push_back(QtConcurrent::run(lookUp));
    // Switch the language for as long as any worker still looks texts up.
    auto running = [&] {
        for (const QFuture<int>& worker : workers) {
            if (!worker.isFinished()) return true;
        }
        return false;
    };
    for (bool toEnglish = true; running(); toEnglish = !toEnglish) {
        L10n::setLanguageCode(toEnglish ? QStringLiteral("en") : QStringLiteral("zh"));
    }
    for (QFuture<int>& worker : workers) EXPECT_EQ(worker.result(), 0);
}

}  // namespace
}  // namespace tarn
