#include "shell/AboutFormUnit.h"

#include "shell/InterfaceModeUnit.h"
#include "shell/ShellDialogUnit.h"
#include "shell/icons/ShellIconsUnit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel* NewLabel(const char* name, int top, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(154, top, 247, 18);
    return label;
}

} // namespace

TAboutForm::TAboutForm() : QDialog(nullptr) {
    setObjectName("AboutForm");
    setFont(ShellDialogFont());
    setFixedSize(413, 262);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 12, 132, 238);
    Image1->setPixmap(AboutPicture(QSize(132, 238)));

    lblAppTitle = NewLabel("lblAppTitle", 16, this);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPixelSize(14);
    lblAppTitle->setFont(titleFont);
    lblAppTitle->setGeometry(154, 14, 247, 22);
    lblVersion = NewLabel("lblVersion", 46, this);
    lblCopyright = NewLabel("lblCopyright", 70, this);
    lblCompany = NewLabel("lblCompany", 94, this);

    mmo = new QPlainTextEdit(this);
    mmo->setObjectName("mmo");
    mmo->setGeometry(154, 122, 247, 90);
    mmo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmo->setEnabled(false);

    btnOK = new QPushButton("确定(&O)", this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(326, 225, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();

    // No owner: the box is placed in the middle of the screen rather than over a window.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutForm::FormCreate() {
    const QString title = QString::fromStdString(InterfaceTitle(InterfaceMode));
    setWindowTitle("关于 " + title);
    lblAppTitle->setText(title);
    lblVersion->setText("版本 1.0.0.0");
    lblCopyright->setText("Copyright © 2026 Halvane");
    lblCompany->setText("Halvane 开发组");
}

void ShowAbout() {
    TAboutForm form;
    form.exec();
}
