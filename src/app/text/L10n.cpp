#include "app/text/L10n.h"

#include "app/text/TextTable.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace tarn {
namespace {

// The code itself is kept for readers of languageCode(); lookups only need to know
// whether it selects Chinese, which they read without taking the lock.
struct LanguageState {
    QMutex mutex;
    QString code = QStringLiteral("zh");
    std::atomic<bool> chinese{true};
};

LanguageState& language()
{
    static LanguageState state;
    return state;
}

// Each table is built on its first use, once, even when several threads ask at once.
const TextTable& englishTable()
{
    static const TextTable table(englishTexts());
    return table;
}

const TextTable& chineseTable()
{
    static const TextTable table(chineseTexts());
    return table;
}

}  // namespace

QString L10n::languageCode()
{
    LanguageState& state = language();
    const QMutexLocker lock(&state.mutex);
    return state.code;
}

void L10n::setLanguageCode(const QString& code)
{
    LanguageState& state = language();
    const QMutexLocker lock(&state.mutex);
    state.code = code;
    state.chinese.store(code == QLatin1String("zh"), std::memory_order_release);
}

bool L10n::isChinese()
{
    return language().chinese.load(std::memory_order_acquire);
}

QString L10n::t(const QString& key)
{
    return lookUpText(key, isChinese() ? &chineseTable() : nullptr, englishTable());
}

QLocale L10n::locale()
{
    return isChinese() ? QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China)
                       : QLocale(QLocale::English, QLocale::UnitedStates);
}

QString L10n::count(const QString& key, const QString& oneKey, qint64 number)
{
    return t(number == 1 ? oneKey : key, locale().toString(number));
}

QString L10n::countKey(const QString& key, qint64 number)
{
    return number == 1 ? key + QStringLiteral("_one") : key;
}

QString L10n::format(const QString& pattern, const QStringList& arguments)
{
    QString result;
    result.reserve(pattern.size());
    qsizetype next = 0;
    const qsizetype length = pattern.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = pattern.at(i);
        if (c != u'%' || i + 1 == length) {
            result += c;
            continue;
        }
        const QChar conversion = pattern.at(i + 1);
        if ((conversion == u'd' || conversion == u'@') && next < arguments.size()) {
            // Arguments are inserted as they are and never scanned again, so a file
            // name holding "%d" cannot take the place of the next value.
            result += arguments.at(next++);
            ++i;
        } else if (conversion == u'%') {
            result += u'%';
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

QStringList L10n::englishKeys()
{
    return englishTable().keys();
}

QStringList L10n::chineseKeys()
{
    return chineseTable().keys();
}

}  // namespace tarn
