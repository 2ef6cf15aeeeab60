#pragma once

#include <QFont>
#include <QMessageBox>
#include <QString>

class QWidget;

// What the shell's dialogs share: their font, their message boxes and how they read a password.

// 12-pixel 宋体, falling back to an installed CJK serif face where 宋体 is missing.
QFont ShellDialogFont();

// The test dialogs' 11-pixel "MS Sans Serif", falling back to a sans-serif face that has the
// Chinese captions where it is missing.
QFont TestDialogFont();

// A modal message box titled "提示" with one OK button.
void ShowPrompt(QWidget* parent, QMessageBox::Icon icon, const QString& text);

// The text of a password box without the leading and trailing spaces and control characters
// (every character up to U+0020) that an operator may have typed by accident.
QString TrimPassword(const QString& text);
