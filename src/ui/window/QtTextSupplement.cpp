#include "ui/window/QtTextSupplement.h"

#include "app/text/L10n.h"

#include <cstring>

namespace tarn {

QString QtTextSupplement::translate(const char* context, const char* sourceText, const char*, int) const
{
    if (context == nullptr || sourceText == nullptr || std::strcmp(context, "QAbstractFileIconProvider") != 0) {
        return {};
    }
    const struct {
        const char* source;
        const char* key;
    } kTexts[] = {{"Folder", "folder"}, {"Drive", "file_type_drive"}, {"File", "file_type_file"}};
    for (const auto& text : kTexts) {
        if (std::strcmp(sourceText, text.source) == 0) {
            return L10n::t(QString::fromLatin1(text.key));
        }
    }
    return {};
}

bool QtTextSupplement::isEmpty() const
{
    return false;
}

}  // namespace tarn
