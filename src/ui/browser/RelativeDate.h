#pragma once

#include "core/values/IsoDate.h"

#include <QString>

#include <optional>

namespace tarn {

// The "modified" texts of the object table: "just now" under a minute (a date in the
// future included), minutes under an hour, then today, yesterday and (in Chinese
// only) the day before with the clock, else the full date, all in local time. English
// has no word for the day before yesterday: two days back shows the full date.
class RelativeDate {
public:
    RelativeDate() = delete;

    // The text of `date` seen at `now`, in the interface language; "-" without a date.
    // Built into one string: the table asks for it for every visible row.
    static QString format(const std::optional<TimePoint>& date, TimePoint now);
};

}  // namespace tarn
