#pragma once

#include "core/values/IsoDate.h"

#include <QString>

#include <ctime>

namespace tarn {

// The one way a date is written out in full wherever the window shows one (the
// object table's older dates, the inspector, the history and the unfinished uploads):
// in the interface language and local time, the month by name and the clock in hours
// and minutes, never a weekday or seconds. "2024年1月5日 15:04", "Jan 5, 2024 15:04".
namespace DateText {

QString absolute(TimePoint date);
// The same for a local time already broken down, in Chinese or English: the object
// table has both at hand for every visible row.
QString absolute(const std::tm& local, bool chinese);

}  // namespace DateText

}  // namespace tarn
