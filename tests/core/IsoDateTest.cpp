#include "core/values/IsoDate.h"

#include <gtest/gtest.h>

using namespace std::chrono;
using tarn::TimePoint;
namespace IsoDate = tarn::IsoDate;

namespace {
TimePoint at(std::int64_t secondsSinceEpoch) { return TimePoint(seconds(secondsSinceEpoch)); }
}  // namespace

TEST(IsoDate, FormatsWholeSecondsInUtc) {
    EXPECT_EQ(IsoDate::format(at(0)), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoDate::format(at(1369353600)), "2013-05-24T00:00:00Z");
    EXPECT_EQ(IsoDate::format(at(951782400)), "2000-02-29T00:00:00Z");
    EXPECT_EQ(IsoDate::format(at(1369353600) + milliseconds(999)), "2013-05-24T00:00:00Z");
    // Before 1970 the fraction still rounds down, to the earlier second.
    EXPECT_EQ(IsoDate::format(at(-1) + milliseconds(500)), "1969-12-31T23:59:59Z");
}

TEST(IsoDate, ParsesTheInternetForm) {
    EXPECT_EQ(IsoDate::parse("2013-05-24T00:00:00Z"), at(1369353600));
    EXPECT_EQ(IsoDate::parse("2013-05-24T08:00:00+08:00"), at(1369353600));
    EXPECT_EQ(IsoDate::parse("2013-05-23T22:30:00-01:30"), at(1369353600));
    EXPECT_EQ(IsoDate::parse("1969-12-31T23:59:59Z"), at(-1));
    EXPECT_EQ(IsoDate::parse("2024-02-29T12:00:00Z"), at(1709208000));
}

TEST(IsoDate, FractionsOnlyWhenAsked) {
    EXPECT_FALSE(IsoDate::parse("2009-10-12T17:50:30.000Z"));
    EXPECT_EQ(IsoDate::parse("2009-10-12T17:50:30.250Z", IsoDate::Fractions::accept),
              at(1255369830) + milliseconds(250));
}

TEST(IsoDate, RejectsMalformedDates) {
    for (const char* text : {"", "2013-05-24", "2013-05-24T00:00:00", "2013-05-24 00:00:00Z", "2013-13-01T00:00:00Z",
                             "2023-02-29T00:00:00Z", "2013-05-24T24:00:00Z", "2013-05-24T00:00:00Zjunk",
                             "2013-05-24T00:00:00.Z", "13-05-24T00:00:00Z", "2013-05-24T00:00:00+0800"}) {
        EXPECT_FALSE(IsoDate::parse(text, IsoDate::Fractions::accept)) << text;
    }
}
