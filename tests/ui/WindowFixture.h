#pragma once

#include "ui/window/AppDelegate.h"
#include "ui/window/WindowContentFactory.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tarn::test {

// The program's delegate on a configuration folder, cache folder and settings file of
// the test's own, so that the language and the window geometry a test stores never
// reach another test (or the user's). The language is put back to the default
// (program texts in Chinese, Qt's texts untranslated) afterwards.
class WindowFixture : public ::testing::Test {
protected:
    WindowFixture();
    ~WindowFixture() override;

    std::filesystem::path configFile() const;
    // Stores a current-schema configuration with this language.
    void storeLanguage(const std::string& code);
    // What entry does: reads the stored language, then makes and launches the delegate.
    AppDelegate& launch(WindowContentFactory factory = WindowContentFactory::standard());
    // Ends the current delegate (as its owner would when the program ends).
    void endDelegate();

    // Whether AppState already writes buffered history at a flush and closes sheets;
    // tried on a state of its own, so the window's behaviour can be told apart.
    static bool stateFlushesHistory();
    static bool stateClosesSheets();

    QTemporaryDir m_folder;
    std::unique_ptr<AppDelegate> m_delegate;

private:
    QByteArray m_savedConfigHome;
    QByteArray m_savedCacheHome;
};

// Lets the events that are due run, deferred deletions included.
void settle();

// Runs the application's event loop as the program does, until something quits it;
// gives exec()'s result, or -1 when nothing did within the limit.
int execUntilQuit(int limitMilliseconds = 5000);

}  // namespace tarn::test
