#include "core/text/ByteFormatter.h"

#include "ScopedEnv.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

using namespace tarn;

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = KiB * KiB;
constexpr std::int64_t GiB = MiB * KiB;
constexpr std::int64_t TiB = GiB * KiB;
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();

}  // namespace

TEST(ByteFormatter, Sizes) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {-5, "-5 B"},
        {-2048, "-2048 B"},  // negatives never take a unit
        {int64Min, "-9223372036854775808 B"},
        {1024, "1 KB"},
        {1025, "1.0 KB"},  // not whole, so one decimal even when it rounds to .0
        {1536, "1.5 KB"},
        {1126, "1.1 KB"},
        {1075, "1.0 KB"},  // 1.0498 rounds down
        {MiB - 1, "1024.0 KB"},  // stays KB although it prints as 1024.0
        {MiB, "1 MB"},
        {5 * GiB, "5 GB"},
        {GiB + GiB / 4, "1.2 GB"},  // 1.25 rounds half to even, as printf does
        {GiB + 3 * GiB / 4, "1.8 GB"},  // 1.75 rounds half to even
        {TiB, "1 TB"},
        {1024 * TiB, "1024 TB"},  // no unit above TB
        {int64Max, "8388608 TB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(ByteFormatter::string(bytes), text) << bytes;
}

TEST(ByteFormatter, ProgressUsesTheUnitOfTheTotal) {
    struct Case {
        std::int64_t sent;
        std::int64_t total;
        const char* text;
    };
    const Case cases[] = {
        {100, 500, "100 / 500 B"},
        {1500, 1000, "1500 / 1000 B"},  // below 1024 total: plain bytes, even when sent is larger
        {7, 0, "7 / 0 B"},
        {-1, -1, "-1 / -1 B"},
        {512, 2048, "0.5 / 2 KB"},
        {0, 5 * MiB, "0 / 5 MB"},
        {MiB, 3 * MiB, "1 / 3 MB"},
        {1, MiB, "0.0 / 1 MB"},
        {1024, 1024, "1 / 1 KB"},
        {MiB - 1, MiB - 1, "1024.0 / 1024.0 KB"},
        {GiB / 2, GiB, "0.5 / 1 GB"},
        {TiB, 3 * TiB + TiB / 2, "1 / 3.5 TB"},
        {2048 * TiB, 1024 * TiB, "2048 / 1024 TB"},
        {int64Max, int64Max, "8388608 / 8388608 TB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ByteFormatter::progressString(c.sent, c.total), c.text) << c.sent << " of " << c.total;
    }
}

TEST(ByteFormatter, Speeds) {
    const std::pair<double, const char*> cases[] = {
        {0, "0 B/s"},
        {512.9, "512 B/s"},  // truncated, not rounded
        {1023.999, "1023 B/s"},
        {1572864, "1.5 MB/s"},
        {-3, "0 B/s"},
        {-0.0, "0 B/s"},
        {std::nan(""), "0 B/s"},
        {-std::numeric_limits<double>::infinity(), "0 B/s"},
        // Beyond what a 64-bit count holds: the largest count rather than undefined behaviour.
        {std::numeric_limits<double>::infinity(), "8388608 TB/s"},
        {9223372036854775808.0, "8388608 TB/s"},
        {1e300, "8388608 TB/s"},
        {9223372036854774784.0, "8388608.0 TB/s"},  // the largest double below 2^63: not whole in TB
    };
    for (const auto& [rate, text] : cases) EXPECT_EQ(ByteFormatter::speedString(rate), text) << rate;
}

// A process that switched LC_NUMERIC to a comma locale must still see "1.5 KB".
TEST(ByteFormatter, DecimalPointWhateverTheLocale) {
    const test::TemporaryFolder dir;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (dir.path() / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    const bool built = std::system(command.c_str()) == 0;
    const test::ScopedEnv localePath("LOCPATH", dir.path().c_str());
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const bool switched = built && std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    char printed[16] = {};
    std::snprintf(printed, sizeof printed, "%.1f", 1.5);

    const std::string size = ByteFormatter::string(1536);
    const std::string progress = ByteFormatter::progressString(512, 2048);
    const std::string speed = ByteFormatter::speedString(1572864);

    std::setlocale(LC_NUMERIC, previous.c_str());
    if (!switched) GTEST_SKIP() << "no de_DE locale could be built here (localedef and the locales sources)";

    ASSERT_STREQ(printed, "1,5") << "the comma locale did not take effect";
    EXPECT_EQ(size, "1.5 KB");
    EXPECT_EQ(progress, "0.5 / 2 KB");
    EXPECT_EQ(speed, "1.5 MB/s");
}
