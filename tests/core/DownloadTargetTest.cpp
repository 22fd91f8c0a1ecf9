#include "core/storage/DownloadTarget.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;

TEST(DownloadTarget, PlacesKeysBelowTheFolderOnly) {
    const fs::path folder = "/home/ann/Downloads";
    const std::pair<std::string, fs::path> placed[] = {
        {"report.pdf", folder / "report.pdf"},
        {"docs/2024/report.pdf", folder / "docs" / "2024" / "report.pdf"},
        {"a//b", folder / "a" / "b"},
        {"..hidden/...", folder / "..hidden" / "..."},
        {"ünï code/日本.txt", folder / "ünï code" / "日本.txt"},
    };
    for (const auto& [relative, expected] : placed)
        EXPECT_EQ(tarn::DownloadTarget::inFolder(folder, relative), expected);

    const std::string refused[] = {"",          "/etc/passwd", "..",    ".",  "../x",
                                   "a/../../x", "a/..",        "a/./b", "a/", std::string("a\0b", 3)};
    for (const std::string& relative : refused) {
        EXPECT_THROW(tarn::DownloadTarget::inFolder(folder, relative), std::invalid_argument) << relative;
    }
    try {
        tarn::DownloadTarget::inFolder(folder, "../x");
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "\"../x\" cannot be saved in the folder: it would lead out of the folder.");
    }
}
