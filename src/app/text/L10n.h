#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <concepts>
#include <initializer_list>

namespace tarn {

// The two text tables of the interface and the one lookup every visible text goes
// through. Chinese is the default; only the exact code "zh" selects it.
//
// Safe to use from any thread: the tables never change once built, and the language
// code is guarded, because transfer failure texts are made on worker threads.
class L10n {
public:
    // The current interface language ("zh" or anything else for English).
    static QString languageCode();
    static void setLanguageCode(const QString& code);

    // Whether lookups currently use the Chinese table (the code is exactly "zh").
    static bool isChinese();

    // The text of a key in the current language; a key missing there comes from the
    // English table, and a key missing in both is returned as it is.
    static QString t(const QString& key);

    // The text of a key with its "%d" and "%@" placeholders filled in order.
    template <typename... Args>
    static QString t(const QString& key, const Args&... args)
    {
        return format(t(key), {argument(args)...});
    }

    // Fills "%d" and "%@" in order with the given texts, without the process locale.
    // Never fails: a placeholder without an argument stays as written, and arguments
    // beyond the placeholders are ignored. "%%" is one literal "%", as in printf; any
    // other "%" (a lone one at the end included) stays as written.
    static QString format(const QString& pattern, const QStringList& arguments);

    // The locale of the current language (Chinese of China, or English of the United
    // States): dates and numbers written for the user follow it.
    static QLocale locale();

    // A count as the current language writes it, digits grouped ("100,005"), and the
    // text of the count's key: `oneKey` for exactly one, else `key`.
    static QString count(const QString& key, const QString& oneKey, qint64 number);

    // The key of a text that counts `number` things: the key with "_one" appended for
    // exactly one ("%d upload" beside "%d uploads"), else the key itself. Both tables
    // hold the "_one" form of every counted text (the Chinese one reads as the other).
    static QString countKey(const QString& key, qint64 number);

    // Every key of the English and of the Chinese table, in table order.
    static QStringList englishKeys();
    static QStringList chineseKeys();

private:
    static QString argument(const QString& text) { return text; }
    static QString argument(const char* text) { return QString::fromUtf8(text); }
    // QString::number always writes plain digits: no grouping, no locale.
    static QString argument(std::integral auto number) { return QString::number(number); }
};

}  // namespace tarn
