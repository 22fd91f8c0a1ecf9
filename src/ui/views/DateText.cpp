#include "ui/views/DateText.h"

#include <chrono>

namespace tarn::DateText {
namespace {

bool isSeparator(QChar c)
{
    return c.isSpace() || c == QLatin1Char(',') || c == QChar(0xFF0C) || c == QChar(0x3001);
}

}  // namespace

QString abbreviatedDateFormat(const QLocale& locale)
{
    // Walk the pattern token by token: runs of one letter are fields, quoted parts
    // are literal text and stay as written.
    const QString pattern = locale.dateFormat(QLocale::LongFormat);
    QString result;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            const qsizetype end = pattern.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? pattern.size() : end + 1;
            result += pattern.mid(i, stop - i);
            i = stop;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run) == c) {
            ++run;
        }
        if (c == QLatin1Char('d') && run >= 3) {
            // The weekday goes, with the separator that joined it to the next field.
            i += run;
            while (i < pattern.size() && isSeparator(pattern.at(i))) {
                ++i;
            }
            continue;
        }
        if (c == QLatin1Char('M') && run >= 4) {
            result += QStringLiteral("MMM");
        } else {
            result += pattern.mid(i, run);
        }
        i += run;
    }
    // A weekday at the end leaves the separator before it behind.
    while (!result.isEmpty() && isSeparator(result.back())) {
        result.chop(1);
    }
    return result;
}

QString abbreviatedDateShortTime(const QDateTime& dateTime, const QLocale& locale)
{
    const QDateTime local = dateTime.toLocalTime();
    return locale.toString(local, abbreviatedDateFormat(locale)) + QLatin1Char(' ') +
           locale.toString(local.time(), QLocale::ShortFormat);
}

QString abbreviatedDateShortTime(TimePoint date, const QLocale& locale)
{
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch());
    return abbreviatedDateShortTime(QDateTime::fromMSecsSinceEpoch(milliseconds.count()), locale);
}

}  // namespace tarn::DateText
