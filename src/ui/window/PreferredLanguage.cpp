#include "ui/window/PreferredLanguage.h"

#include "app/text/L10n.h"
#include "core/config/ConfigStore.h"
#include "ui/window/QtTextSupplement.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QList>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tarn {
namespace {

constexpr auto kQtChineseCatalogue = "qtbase_zh_CN.qm";

// The translators installed by the last apply(); owned by the application object.
QList<QPointer<QTranslator>>& installedTranslators()
{
    static QList<QPointer<QTranslator>> translators;
    return translators;
}

void install(QTranslator* translator)
{
    QCoreApplication::installTranslator(translator);
    installedTranslators().append(translator);
}

std::optional<std::string> storedLanguageCode()
{
    try {
        const ConfigStore store;
        const ConfigStore::RawLoad raw = store.loadRaw();
        return std::visit([](const auto& config) { return config.languageCode; }, raw);
    } catch (const std::exception& error) {
        // AppState's start-up reads the file again and reports what is wrong with it.
        qInfo().noquote() << "The stored language could not be read:" << error.what();
        return std::nullopt;
    }
}

}  // namespace

void PreferredLanguage::applyStored()
{
    const std::optional<std::string> code = storedLanguageCode();
    apply(code ? QString::fromStdString(*code) : L10n::languageCode());
}

void PreferredLanguage::apply(const QString& code)
{
    L10n::setLanguageCode(code);

    for (const QPointer<QTranslator>& translator : std::exchange(installedTranslators(), {})) {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    const bool english = qtTextsInEnglish(code);
    if (!english) {
        const QString file = qtChineseTranslationFile();
        auto* chinese = new QTranslator(QCoreApplication::instance());
        if (!file.isEmpty() && chinese->load(file)) {
            install(chinese);
            install(new QtTextSupplement(QCoreApplication::instance()));
        } else {
            qWarning().noquote() << "Qt's Chinese texts are missing (" << kQtChineseCatalogue
                                 << "from qt6-translations-l10n); its dialogs stay in English.";
            delete chinese;
        }
    }
    // Dates and numbers inside Qt's own dialogs follow the same language.
    QLocale::setDefault(english ? QLocale(QLocale::English, QLocale::UnitedStates)
                                : QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
}

bool PreferredLanguage::qtTextsInEnglish(const QString& code)
{
    return code == QLatin1String("en");
}

QString PreferredLanguage::qtChineseTranslationFile()
{
    const QFileInfo file(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QLatin1Char('/') +
                         QLatin1String(kQtChineseCatalogue));
    return file.isFile() ? file.absoluteFilePath() : QString();
}

}  // namespace tarn
