#pragma once

#include "core/config/IsoDate.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tarn {

// Dates as the sheets and the inspector show them, in the conventions of a locale.
namespace DateText {

// The date with an abbreviated month and no weekday ("Jan 5, 2024", "2024年1月5日"),
// then the locale's short time ("3:04 PM", "15:04"), in local time.
QString abbreviatedDateShortTime(const QDateTime& dateTime, const QLocale& locale = QLocale());
QString abbreviatedDateShortTime(TimePoint date, const QLocale& locale = QLocale());

// The date part alone, as a format of QLocale::toString: the locale's long date
// without its weekday and with the month's short name.
QString abbreviatedDateFormat(const QLocale& locale);

}  // namespace DateText

}  // namespace tarn
