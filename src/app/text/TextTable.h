#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <span>

namespace tarn {

// One (key, text) pair of a text table as it is compiled into the program, in UTF-8.
struct TextEntry {
    const char* key;
    const char* text;
};

// A compiled text table made searchable. It is built once and only read afterwards,
// so any thread may look texts up in it.
class TextTable {
public:
    explicit TextTable(std::span<const TextEntry> entries);

    // The text of a key, or null when the table does not hold the key.
    const QString* find(const QString& key) const;

    // Every key in table order, a repeated key as often as it occurs.
    const QStringList& keys() const { return m_keys; }

private:
    QHash<QString, QString> m_texts;
    QStringList m_keys;
};

// The compiled tables of the interface: both hold the same keys in the same order.
std::span<const TextEntry> englishTexts();
std::span<const TextEntry> chineseTexts();

// The text of a key in the primary table (none: skipped), else in the fallback table,
// else the key itself, so a missing text shows as its key and never as nothing.
QString lookUpText(const QString& key, const TextTable* primary, const TextTable& fallback);

}  // namespace tarn
