#pragma once

#include <QString>

class QLabel;
class QMessageBox;
class QWidget;

namespace tarn {

// Words from outside the program (names, keys, metadata, a file's or a server's
// text) shown exactly as written. A label, a message box and a tooltip take markup
// whenever a text looks like it: an account named "<a href=...>" would show a link
// that opens the browser, a server's message would show in large red letters. Every
// widget that can show such words goes through here.
namespace PlainText {

// A label that shows `text` as it is, never as markup.
QLabel* label(const QString& text = QString(), QWidget* parent = nullptr);
// Makes an existing label show its text as it is.
void apply(QLabel* label);
// Makes the main and the informative text of a message box show as they are.
void apply(QMessageBox* box);
// `text` as a tooltip must be given to show it as written: a tooltip is markup
// whenever its text looks like markup. Empty stays empty (no tooltip).
QString toolTip(const QString& text);
// `text` as a button's title must be given to show it as written: a button takes an
// "&" as the mark of its shortcut letter ("R&D" would read "RD").
QString buttonText(const QString& text);

}  // namespace PlainText

}  // namespace tarn
