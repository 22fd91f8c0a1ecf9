#include "ui/UiTestSupport.h"
#include "ui/views/DateText.h"

#include "app/text/L10n.h"
#include "ui/browser/RelativeDate.h"
#include "ui/sheets/MultipartSheet.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <chrono>

namespace tarn {
namespace {

using namespace std::chrono_literals;

class DateTextTest : public ::testing::Test {
protected:
    ~DateTextTest() override
    {
        L10n::setLanguageCode(QStringLiteral("zh"));
        QLocale::setDefault(m_previousLocale);
    }

    QLocale m_previousLocale;
};

TEST_F(DateTextTest, OneStyleInTheInterfaceLanguageWhereverADateIsWrittenInFull)
{
    // Qt's default locale (which its own dialogs follow) has no say.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct {
        const char* language;
        TimePoint date;
        const char* expected;
    } cases[] = {
        {"zh", test::localTime(2024, 1, 5, 15, 4, 59), "2024年1月5日 15:04"},
        {"zh", test::localTime(2026, 12, 11, 1, 16, 20), "2026年12月11日 01:16"},
        {"en", test::localTime(2024, 1, 5, 15, 4, 59), "Jan 5, 2024 15:04"},
        {"en", test::localTime(2026, 12, 11, 1, 16, 20), "Dec 11, 2026 01:16"},
        {"en", test::localTime(2010, 11, 10, 20, 48, 0), "Nov 10, 2010 20:48"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.expected);
        L10n::setLanguageCode(QString::fromLatin1(c.language));
        const QString expected = QString::fromUtf8(c.expected);
        EXPECT_EQ(DateText::absolute(c.date), expected);
        // The object table's older dates and the unfinished uploads say the same.
        EXPECT_EQ(RelativeDate::format(c.date, c.date + 24h * 10), expected);
        MultipartUpload upload;
        upload.initiated = c.date;
        EXPECT_EQ(MultipartSheet::initiatedText(upload), expected);
    }
}

}  // namespace
}  // namespace tarn
