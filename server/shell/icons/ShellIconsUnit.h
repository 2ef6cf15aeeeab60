#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The shell's own pictures, drawn with QPainter when first asked for, so the program ships no
// image files and every picture scales cleanly.

// The images of the main window's actions, numbered as the tool bar's image list.
enum class TShellImage { Option = 0, ChangePassword = 1, About = 2, Exit = 3 };

QIcon ShellImage(TShellImage image);
// The window icon of the program: a key card.
QIcon AppIcon();
// Button glyphs of the dialogs.
QIcon OkGlyph();
QIcon CancelGlyph();
// The padlock picture of the password dialogs, size × size pixels.
QPixmap PadlockPicture(int size);
// The tall picture at the left of the About box.
QPixmap AboutPicture(QSize size);
