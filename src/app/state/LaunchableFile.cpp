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

bool isLaunchable(const QMimeType& type)
{
    for (const char* name : kLaunchableTypes) {
        if (type.inherits(QString::fromLatin1(name))) {
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
    for (const QMimeDatabase::MatchMode mode : {QMimeDatabase::MatchExtension, QMimeDatabase::MatchContent}) {
        const QMimeType type = types.mimeTypeForFile(name, mode);
        if (type.isValid() && isLaunchable(type)) {
            return type;
        }
    }
    return std::nullopt;
}

}  // namespace tarn
