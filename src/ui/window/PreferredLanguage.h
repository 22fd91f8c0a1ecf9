#pragma once

#include <QString>

namespace tarn {

// The interface language, decided once at entry before any window exists. Two rules
// meet here: the program's own texts are Chinese only for exactly "zh" (L10n), while
// Qt's own texts (standard buttons, file dialogs) are English only for exactly "en"
// and Chinese for anything else, as the stored code is read by the desktop.
class PreferredLanguage {
public:
    PreferredLanguage() = delete;

    // Reads the stored language with a throw-away configuration store (no migration,
    // no save) and applies it. A file that cannot be read changes nothing: the
    // program keeps L10n's default, Chinese, and Qt's texts follow that.
    static void applyStored();

    // Applies a language code: the text tables, Qt's own translations (Debian's
    // catalogue and what it lacks) and the default locale. Needs the application
    // object. Applying again replaces what the previous call installed: the window
    // applies each language the user switches to, so Qt's dialogs follow at once.
    static void apply(const QString& code);

    // Whether Qt's own texts are shown in English for a code.
    static bool qtTextsInEnglish(const QString& code);

    // The file of Qt's own texts in Simplified Chinese, as Debian installs it with
    // qt6-translations-l10n; empty when it is not installed.
    static QString qtChineseTranslationFile();
};

}  // namespace tarn
