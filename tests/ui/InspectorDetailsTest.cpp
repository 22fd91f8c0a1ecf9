#include "app/text/L10n.h"
#include "ui/UiTestSupport.h"
#include "ui/inspector/InspectorDetails.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace tarn {
namespace {

class InspectorDetailsTest : public ::testing::Test {
protected:
    void SetUp() override { L10n::setLanguageCode(QStringLiteral("en")); }
    void TearDown() override { L10n::setLanguageCode(QStringLiteral("zh")); }

    static QStringList labels(const std::vector<DetailRow>& rows)
    {
        QStringList result;
        for (const DetailRow& row : rows) {
            result.append(row.label);
        }
        return result;
    }

    static QString value(const std::vector<DetailRow>& rows, const QString& label)
    {
        for (const DetailRow& row : rows) {
            if (row.label == label) {
                return row.value;
            }
        }
        return QStringLiteral("(no row)");
    }
};

TimePoint at(int year, int month, int day, int hour, int minute)
{
    const QDateTime local(QDate(year, month, day), QTime(hour, minute));
    return TimePoint(std::chrono::milliseconds(local.toMSecsSinceEpoch()));
}

TEST_F(InspectorDetailsTest, AListedObjectWithoutDetailsShowsWhatTheListingKnows)
{
    ObjectItem object;
    object.key = "photos/2024/summer trip/beach.JPG";
    object.size = 3 * 1024 * 1024 + 512 * 1024;
    const std::vector<DetailRow> rows = InspectorDetails::objectRows(object, std::nullopt);
    // No date, no ETag, no details: none of their rows, and no metadata.
    EXPECT_EQ(labels(rows), (QStringList{"Name", "Kind", "Content-Type", "Size", "Storage Class"}));
    // The whole key, to copy as it is.
    EXPECT_EQ(rows[0].value, QString::fromStdString(object.key));
    EXPECT_EQ(rows[0].copyText, QString::fromStdString(object.key));
    EXPECT_EQ(rows[1].value, QStringLiteral("Object"));
    // The type the extension implies, whatever its case.
    EXPECT_EQ(rows[2].value, QStringLiteral("image/jpeg"));
    EXPECT_EQ(rows[3].value, QStringLiteral("3.5 MB"));
    EXPECT_EQ(rows[4].value, QStringLiteral("STANDARD"));
    for (std::size_t index = 1; index < rows.size(); ++index) {
        EXPECT_FALSE(rows[index].copyText.has_value()) << index;
    }
}

TEST_F(InspectorDetailsTest, TheHeadsDetailsWinAndItsMetadataFollowInKeyOrder)
{
    ObjectItem object;
    object.key = "x.bin";
    object.size = 10;
    object.storageClass = "GLACIER";
    object.lastModified = at(2026, 12, 10, 15, 4);
    object.eTag = "\"listed\"";

    // The listing's own ETag while the details are still loading.
    std::vector<DetailRow> rows = InspectorDetails::objectRows(object, std::nullopt);
    EXPECT_EQ(value(rows, QStringLiteral("ETag")), QStringLiteral("\"listed\""));
    EXPECT_EQ(value(rows, QStringLiteral("Storage Class")), QStringLiteral("GLACIER"));
    EXPECT_EQ(value(rows, QStringLiteral("Content-Type")), QStringLiteral("application/octet-stream"));

    ObjectDetails details;
    details.contentType = "video/mp4; codecs=\"avc1\"";
    details.eTag = "\"0123abcd-2\"";
    details.metadata = {{"zeta", "last"}, {"Author", "张三"}, {"alpha", ""}, {"Beta", "b"}};
    rows = InspectorDetails::objectRows(object, details);
    EXPECT_EQ(labels(rows), (QStringList{"Name", "Kind", "Content-Type", "Size", "Storage Class", "Modified", "ETag",
                                         "Author", "Beta", "alpha", "zeta"}));
    // The stored type as it was stored, parameters and all.
    EXPECT_EQ(value(rows, QStringLiteral("Content-Type")), QStringLiteral("video/mp4; codecs=\"avc1\""));
    EXPECT_EQ(value(rows, QStringLiteral("ETag")), QStringLiteral("\"0123abcd-2\""));
    EXPECT_EQ(value(rows, QStringLiteral("Author")), QStringLiteral("张三"));
    EXPECT_EQ(value(rows, QStringLiteral("alpha")), QString());

    // Details without an ETag fall back to the listing's.
    details.eTag.reset();
    rows = InspectorDetails::objectRows(object, details);
    EXPECT_EQ(value(rows, QStringLiteral("ETag")), QStringLiteral("\"listed\""));
}

TEST_F(InspectorDetailsTest, TheDateFollowsTheInterfaceLanguageWithoutSeconds)
{
    ObjectItem object;
    object.key = "x.bin";
    object.lastModified = at(2026, 12, 10, 15, 4) + std::chrono::seconds(20);
    // Neither the process's locale nor Qt's default one has a say.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct {
        const char* language;
        const char* label;
        const char* expected;
    } cases[] = {
        {"en", "Modified", "Dec 10, 2026 15:04"},
        {"zh", "修改时间", "2026年12月10日 15:04"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        L10n::setLanguageCode(QString::fromLatin1(c.language));
        const std::vector<DetailRow> rows = InspectorDetails::objectRows(object, std::nullopt);
        EXPECT_EQ(value(rows, QString::fromUtf8(c.label)), QString::fromUtf8(c.expected));
    }
    QLocale::setDefault(previous);
}

TEST_F(InspectorDetailsTest, AFolderShowsItsPrefixAndKind)
{
    const std::vector<DetailRow> rows = InspectorDetails::folderRows(ObjectPrefix{"photos/2024/"});
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0], (DetailRow{QStringLiteral("Name"), QStringLiteral("photos/2024/"), QStringLiteral("photos/2024/")}));
    EXPECT_EQ(rows[1], (DetailRow{QStringLiteral("Kind"), QStringLiteral("Folder"), std::nullopt}));
}

}  // namespace
}  // namespace tarn
