#pragma once

#include <QTranslator>

namespace tarn {

// Qt's own texts that Debian's Simplified Chinese catalogue (qtbase_zh_CN.qm of
// qt6-translations-l10n 6.4) lacks. Qt 6 moved the file chooser's type names
// ("Folder", "Drive", "File") to the context QAbstractFileIconProvider, and that
// catalogue still knows them only under the old one, so the chooser's Type column
// read "Folder" among Chinese texts. Installed beside the catalogue; every other
// text is left to it.
class QtTextSupplement : public QTranslator {
    Q_OBJECT

public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override;
};

}  // namespace tarn
