#include "app/text/L10n.h"

namespace tarn {

// Placeholder tables: filled in with the text tables.
QString L10n::languageCode() { return QStringLiteral("zh"); }
void L10n::setLanguageCode(const QString&) {}
QString L10n::t(const QString& key) { return key; }
QString L10n::format(const QString& pattern, const QStringList&) { return pattern; }
QStringList L10n::englishKeys() { return {}; }
QStringList L10n::chineseKeys() { return {}; }

}  // namespace tarn
