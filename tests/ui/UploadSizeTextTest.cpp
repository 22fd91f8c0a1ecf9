#include "ui/browser/UploadSizeText.h"

#include "ui/theme/TarnTheme.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

namespace tarn {
namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

// 37.5 MiB of 286.1 MiB, as the audit saw it cut after "286.1".
constexpr std::int64_t kSent = 75 * kMiB / 2;
constexpr std::int64_t kTotal = 2861 * kMiB / 10;

TEST(UploadSizeText, ANarrowerCellShortensTheNumbersAndKeepsTheTotal)
{
    const QFontMetrics metrics(TarnTheme::font(13));
    const QString full = QStringLiteral("37.5 / 286.1 MB");
    const QString rounded = QStringLiteral("38 / 286 MB");
    const QString total = QStringLiteral("286.1 MB");
    const QString wholeTotal = QStringLiteral("286 MB");
    const struct {
        int width;
        QString text;
    } cases[] = {
        {metrics.horizontalAdvance(full) + 10, full},
        {metrics.horizontalAdvance(full), full},
        {metrics.horizontalAdvance(full) - 1, rounded},
        {metrics.horizontalAdvance(rounded), rounded},
        {metrics.horizontalAdvance(rounded) - 1, total},
        {metrics.horizontalAdvance(total) - 1, wholeTotal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(UploadSizeText::fitted(kSent, kTotal, metrics, c.width), c.text);
    }
    // Narrower than even the whole total: cut in the middle, never at its end.
    const QString cut = UploadSizeText::fitted(kSent, kTotal, metrics, metrics.horizontalAdvance(wholeTotal) - 4);
    EXPECT_TRUE(cut.contains(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(cut.endsWith(QStringLiteral("B"))) << cut.toStdString();
}

TEST(UploadSizeText, SmallFilesKeepTheirBytes)
{
    const QFontMetrics metrics(TarnTheme::font(13));
    EXPECT_EQ(UploadSizeText::fitted(100, 800, metrics, 400), QStringLiteral("100 / 800 B"));
    EXPECT_EQ(UploadSizeText::fitted(100, 800, metrics, metrics.horizontalAdvance(QStringLiteral("800 B"))),
              QStringLiteral("800 B"));
}

}  // namespace
}  // namespace tarn
