#include "app/state/LaunchableFile.h"

#include <QFile>
#include <QMimeDatabase>

#include <array>

namespace tarn {

namespace {

// The types the desktop runs, hands to an interpreter or installs; every type that
// inherits one of them is one too (a shell script is a kind of executable).
constexpr std::array kLaunchableTypes{
    "application/x-desktop",
    "application/x-executable",
    "application/x-pie-executable",
    "application/x-sharedlib",
    "application/x-shellscript",
    "application/x-csh",
    "application/x-perl",
    "application/x-ruby",
    "application/x-php",
    "text/x-python",
    "text/x-python3",
    "application/x-java-archive",
    "application/x-java-jnlp-file",
    "application/x-ms-dos-executable",
    "application/x-msdownload",
    "application/vnd.microsoft.portable-executable",
    "application/x-msi",
    "application/x-ms-shortcut",
    "application/x-bat",
    "application/vnd.debian.binary-package",
    "application/x-rpm",
    "application/vnd.flatpak",
    "application/vnd.flatpak.ref",
    "application/vnd.flatpak.repo",
    "application/vnd.appimage",
    "application/x-iso9660-appimage",
    "application/vnd.snap",
};

// Families, by the start of their names, whose every member is shown by the programs
// that open it: pictures, sound and film, and the office formats' page documents.
constexpr std::array kShownFamilies{
    "image/",
    "audio/",
    "video/",
    "application/vnd.oasis.opendocument.",
    "application/vnd.openxmlformats-officedocument.",
};

// Single types whose usual programs show them: page documents, and text in the forms
// data is kept in. Text that is a program in some language is not among them.
constexpr std::array kShownTypes{
    "application/pdf",
    "application/epub+zip",
    "application/rtf",
    "application/msword",
    "application/vnd.ms-excel",
    "application/vnd.ms-powerpoint",
    "text/plain",
    "text/markdown",
    "text/x-markdown",
    "text/csv",
    "text/tab-separated-values",
    "text/x-log",
    "application/xml",
    "text/xml",
    "application/x-yaml",
    "text/html",
    "text/css",
    "application/x-subrip",
};

bool isLaunchable(const QMimeType& type)
{
    for (const char* name : kLaunchableTypes) {
        if (type.inherits(QString::fromLatin1(name))) {
            return true;
        }
    }
    return false;
}

// Judged by the type's own name, not by what it inherits: a script is a kind of text,
// and a Java archive a kind of zip file.
bool isShown(const QMimeType& type)
{
    const QString name = type.name();
    for (const char* family : kShownFamilies) {
        if (name.startsWith(QLatin1String(family))) {
            return true;
        }
    }
    for (const char* shown : kShownTypes) {
        if (name == QLatin1String(shown)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<QMimeType> LaunchableFile::typeOf(const std::filesystem::path& file)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(file.native()));
    const QMimeDatabase types;
    // By name and by contents apart: a program named "invoice.pdf" is still a
    // program, and a desktop entry without its suffix is still a desktop entry.
    const QMimeType byName = types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QMimeType byContent = types.mimeTypeForFile(name, QMimeDatabase::MatchContent);
    for (const QMimeType& type : {byName, byContent}) {
        if (type.isValid() && isLaunchable(type)) {
            return type;
        }
    }
    // The desktop picks the program by the type of the name when the name has one it
    // knows, and by the contents otherwise.
    const QMimeType opened = byName.isValid() && !byName.isDefault() ? byName : byContent;
    if (opened.isValid() && isShown(opened)) {
        return std::nullopt;
    }
    return opened.isValid() ? opened : types.mimeTypeForName(QStringLiteral("application/octet-stream"));
}

}  // namespace tarn
