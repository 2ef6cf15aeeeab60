#include "shell/CheckPasswordFormUnit.h"

#include "shell/ShellDialogUnit.h"
#include "shell/SysOptionUnit.h"
#include "shell/icons/ShellIconsUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TCheckPasswordForm::TCheckPasswordForm(QWidget* owner) : QDialog(owner) {
    setObjectName("CheckPasswordForm");
    setWindowTitle("请输入管理员密码");
    setFont(ShellDialogFont());
    setFixedSize(306, 140);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(20, 24, 32, 32);
    Image1->setPixmap(PadlockPicture(32));

    Label1 = new QLabel("密码：", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(68, 30, 44, 20);

    edtPswd = new QLineEdit(this);
    edtPswd->setObjectName("edtPswd");
    edtPswd->setGeometry(116, 30, 170, 22);
    edtPswd->setEchoMode(QLineEdit::Password);
    edtPswd->setStyleSheet("lineedit-password-character: 42"); // '*' in every style

    btnOK = new QPushButton(OkGlyph(), "确定", this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(124, 96, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TCheckPasswordForm::btnOKClick);

    btnCancel = new QPushButton(CancelGlyph(), "取消", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(211, 96, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(edtPswd, btnOK);
    setTabOrder(btnOK, btnCancel);
    edtPswd->setFocus();
}

void TCheckPasswordForm::btnOKClick() {
    const std::string entered = TrimPassword(edtPswd->text()).toStdString();
    if (SysOption && entered == SysOption->Password) {
        accept();
        return;
    }
    ShowPrompt(this, QMessageBox::Critical, "密码错误 ！");
    edtPswd->setFocus();
}

bool CheckPassword(QWidget* owner) {
    TCheckPasswordForm form(owner);
    return form.exec() == QDialog::Accepted;
}
