#pragma once

#include "core/values/Url.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// What the state asks of the desktop through the window layer: choosers, alerts, the
// clipboard, opening files and links, the beep. The window layer implements it with
// window-modal dialogs (QFileDialog, QMessageBox::open()), so every question is a
// coroutine the state awaits while the interface keeps running; tests implement it
// with a scripted double. Without a window layer every question is answered "no".
class UiServices {
public:
    // The requests have constructors rather than braced initialisation, which g++ 12
    // gets wrong in a co_await statement (see Async.h).

    // A file chooser: "Name (*.json)"-style filters, empty for any file.
    struct FileChoice {
        FileChoice() = default;
        explicit FileChoice(QString title, bool multiple = false, QStringList nameFilters = {})
            : title(std::move(title)), multiple(multiple), nameFilters(std::move(nameFilters)) {}

        QString title;
        bool multiple = false;
        QStringList nameFilters;
    };

    // An alert with one or two buttons; `cancelButton` empty means a single button.
    struct Alert {
        enum class Style { informational, warning, critical };

        Alert() = default;
        Alert(Style style, QString message, QString informativeText = {}, QString confirmButton = {},
              QString cancelButton = {})
            : style(style), message(std::move(message)), informativeText(std::move(informativeText)),
              confirmButton(std::move(confirmButton)), cancelButton(std::move(cancelButton)) {}

        Style style = Style::warning;
        QString message;
        QString informativeText;
        QString confirmButton;
        QString cancelButton;
        // Return and Enter answer with the cancel button: for a question whose careless
        // "yes" does harm.
        bool cancelIsDefault = false;
    };

    // What the clipboard holds, as plain values the window layer takes from it.
    struct ClipboardContents {
        std::vector<std::filesystem::path> files;  // local files it names
        // The image formats it offers, by MIME type ("image/png", "image/jpeg", ...).
        struct Data {
            QString mimeType;
            QByteArray bytes;
        };
        std::vector<Data> images;
        // Any other image it holds, converted to PNG by the window layer.
        QByteArray imageAsPng;
        std::optional<QString> text;
    };

    virtual ~UiServices() = default;

    // The chosen files; empty when the user cancelled.
    virtual QCoro::Task<std::vector<std::filesystem::path>> chooseFiles(FileChoice choice) = 0;
    // The chosen folder; none when the user cancelled.
    virtual QCoro::Task<std::optional<std::filesystem::path>> chooseFolder(QString title) = 0;
    // Where to save a new file; none when the user cancelled.
    virtual QCoro::Task<std::optional<std::filesystem::path>> chooseSaveFile(QString title, QString proposedName,
                                                                             QStringList nameFilters) = 0;
    // True when the first (confirming) button ended the alert.
    virtual QCoro::Task<bool> showAlert(Alert alert) = 0;

    // What became of a file handed to the desktop's default application.
    enum class LaunchOutcome {
        opened,          // an application took it (or is still starting with it)
        noApplication,   // the desktop has no application for files of its type
        launcherFailed,  // no launcher, or it refused or failed to start one
    };

    virtual ClipboardContents clipboard() = 0;
    // Hands a local file to the desktop's default application for it, and says how
    // that went once the desktop has answered (or has been given a moment to).
    virtual QCoro::Task<LaunchOutcome> openWithDefaultApplication(std::filesystem::path file) = 0;
    virtual void openUrl(const QUrl& url) = 0;
    virtual void beep() = 0;

    // Whether the window's add-account sheet can take the secret of the account at
    // `endpoint` in `region`: one of its providers serves that region at the
    // endpoint's host (in any letter case). Every other account's secret has to reach
    // the keyring another way.
    virtual bool canAddAccount(const Url& endpoint, const std::string& region) const = 0;
};

}  // namespace tarn
