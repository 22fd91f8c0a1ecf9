#pragma once

#include "app/state/UiServices.h"

#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <filesystem>

namespace tarn {

// Opens a local file with the desktop's default application through the desktop's
// launcher (xdg-open), and tells what became of it. The launcher answers with its
// exit status once the application has been started, or that none could be: an
// application missing for the file's type (its status 3 or 4) or any other failure.
// A launcher still running after `patience` (some wait for the application they
// started) counts as having opened the file; it is left to run and never waited for
// again. Without a launcher on the PATH, Qt's own lookup of one is asked.
namespace DesktopLauncher {

using Outcome = UiServices::LaunchOutcome;

inline constexpr std::chrono::milliseconds defaultPatience{5000};

// `launcher` empty: xdg-open from the PATH.
QCoro::Task<Outcome> open(std::filesystem::path file, QString launcher = {},
                          std::chrono::milliseconds patience = defaultPatience);

// The outcome a launcher's exit status stands for.
Outcome outcomeOfExit(int exitCode);

}  // namespace DesktopLauncher

}  // namespace tarn
