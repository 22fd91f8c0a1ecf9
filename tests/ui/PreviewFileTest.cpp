#include "ui/PreviewTestFiles.h"
#include "ui/preview/PreviewFile.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using test::PreviewTestFiles;

TEST(PreviewFile, ReadsOnlyTheStartOfALargeFile)
{
    PreviewTestFiles files;
    const QString path = files.write(QStringLiteral("big.log"), QByteArray(10000, 'a'));
    const PreviewFile::Start start = PreviewFile::read(path, 4096);
    EXPECT_TRUE(start.readable);
    EXPECT_EQ(start.bytes.size(), 4096);
    EXPECT_EQ(start.fileSize, 10000);
    EXPECT_TRUE(start.truncated());

    const PreviewFile::Start whole = PreviewFile::read(path, 10000);
    EXPECT_FALSE(whole.truncated());
    EXPECT_FALSE(PreviewFile::read(files.path(QStringLiteral("missing.txt")), 4096).readable);
}

TEST(PreviewFile, Utf8TextIsCheckedAndACutCharacterIsNotAnError)
{
    PreviewTestFiles files;
    // "é" is two bytes: a cut between them ends the start inside the character.
    const QString cut = files.write(QStringLiteral("cut.txt"), QByteArray("ab\xC3\xA9\xC3\xA9", 6));
    const std::optional<QString> text = PreviewFile::utf8Text(PreviewFile::read(cut, 5));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("ab\u00E9"));

    // The same bytes in a file that really ends there are not UTF-8.
    const QString broken = files.write(QStringLiteral("broken.txt"), QByteArray("ab\xC3\xA9\xC3", 5));
    EXPECT_FALSE(PreviewFile::utf8Text(PreviewFile::read(broken, 100)).has_value());

    const QString latin1 = files.write(QStringLiteral("latin1.txt"), QByteArray("caf\xE9 au lait", 12));
    EXPECT_FALSE(PreviewFile::utf8Text(PreviewFile::read(latin1, 100)).has_value());

    const QString marked = files.write(QStringLiteral("bom.txt"), QByteArray("\xEF\xBB\xBFhello", 8));
    EXPECT_EQ(PreviewFile::utf8Text(PreviewFile::read(marked, 100)), QStringLiteral("hello"));

    EXPECT_FALSE(PreviewFile::utf8Text(PreviewFile::read(files.path(QStringLiteral("missing.txt")), 100)).has_value());
}

TEST(PreviewFile, HtmlIsReadInTheEncodingItDeclares)
{
    PreviewTestFiles files;
    const QString declared =
        files.write(QStringLiteral("old.html"), QByteArray("<meta charset=\"iso-8859-1\"><p>caf\xE9</p>"));
    EXPECT_TRUE(PreviewFile::htmlText(PreviewFile::read(declared, 1000)).contains(QStringLiteral("caf\u00E9")));
    const QString plain = files.write(QStringLiteral("new.html"), QByteArray("<p>\xE4\xB8\xAD\xE6\x96\x87</p>"));
    EXPECT_TRUE(PreviewFile::htmlText(PreviewFile::read(plain, 1000)).contains(QStringLiteral("\u4E2D\u6587")));
}

}  // namespace
}  // namespace tarn
