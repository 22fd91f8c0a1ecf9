#include "app/text/TextTable.h"

namespace tarn {

TextTable::TextTable(std::span<const TextEntry> entries)
{
    m_texts.reserve(static_cast<qsizetype>(entries.size()));
    m_keys.reserve(static_cast<qsizetype>(entries.size()));
    for (const TextEntry& entry : entries) {
        const QString key = QString::fromUtf8(entry.key);
        m_keys.append(key);
        // The first occurrence wins; the table tests refuse repeated keys anyway.
        if (!m_texts.contains(key)) m_texts.insert(key, QString::fromUtf8(entry.text));
    }
}

const QString* TextTable::find(const QString& key) const
{
    const auto found = m_texts.constFind(key);
    return found == m_texts.cend() ? nullptr : &found.value();
}

QString lookUpText(const QString& key, const TextTable* primary, const TextTable& fallback)
{
    if (primary != nullptr) {
        if (const QString* text = primary->find(key)) return *text;
    }
    if (const QString* text = fallback.find(key)) return *text;
    return key;
}

}  // namespace tarn
