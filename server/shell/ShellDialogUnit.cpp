#include "shell/ShellDialogUnit.h"

QFont ShellDialogFont() {
    QFont font;
    font.setFamilies({"SimSun", "宋体", "Noto Serif CJK SC", "Noto Sans CJK SC"});
    font.setPixelSize(12);
    return font;
}

QFont TestDialogFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans", "Noto Sans CJK SC"});
    font.setPixelSize(11);
    return font;
}

void ShowPrompt(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, "提示", text, QMessageBox::Ok, parent);
    box.exec();
}

QString TrimPassword(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 0x20)
        ++first;
    while (last > first && text[last - 1].unicode() <= 0x20)
        --last;
    return text.mid(first, last - first);
}
