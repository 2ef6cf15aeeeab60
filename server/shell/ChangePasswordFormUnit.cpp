#include "shell/ChangePasswordFormUnit.h"

#include "shell/IniFileUnit.h"
#include "shell/ShellDialogUnit.h"
#include "shell/SysOptionUnit.h"
#include "shell/icons/ShellIconsUnit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <stdexcept>

namespace {

QLineEdit* NewPasswordEdit(const char* name, int top, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(164, top, 164, 22);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet("lineedit-password-character: 42"); // '*' in every style
    return edit;
}

} // namespace

TChangePasswordForm::TChangePasswordForm(QWidget* owner) : QDialog(owner) {
    setObjectName("ChangePasswordForm");
    setWindowTitle("更改管理员密码");
    setFont(ShellDialogFont());
    setFixedSize(346, 163);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(16, 22, 48, 48);
    Image1->setPixmap(PadlockPicture(48));

    Label1 = new QLabel("新密码：", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(80, 26, 80, 20);
    Label2 = new QLabel("新密码确认：", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(80, 62, 80, 20);

    edtPswd = NewPasswordEdit("edtPswd", 25, this);
    edtConfirmPswd = NewPasswordEdit("edtConfirmPswd", 61, this);

    btnOK = new QPushButton(OkGlyph(), "确定", this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(172, 120, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TChangePasswordForm::btnOKClick);

    btnCancel = new QPushButton(CancelGlyph(), "取消", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(253, 120, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(edtPswd, edtConfirmPswd);
    setTabOrder(edtConfirmPswd, btnOK);
    setTabOrder(btnOK, btnCancel);
    edtPswd->setFocus();
}

void TChangePasswordForm::btnOKClick() {
    const QString password = TrimPassword(edtPswd->text());
    if (password != TrimPassword(edtConfirmPswd->text())) {
        ShowPrompt(this, QMessageBox::Critical, "您两次输入的密码不一致，请重新输入！");
        return;
    }
    if (!SysOption)
        return;
    const std::string previous = SysOption->Password;
    SysOption->Password = password.toStdString();
    try {
        SysOption->Save();
    } catch (const std::exception& error) {
        // The prompt must keep asking for the password the file holds: the old one when its key
        // could not be written, the new one when a later key failed after it.
        SysOption->Password =
            TIniFile(SysOption->FileName).ReadString("SysOption", "Password", previous);
        QMessageBox::critical(this, QApplication::applicationDisplayName(),
                              QString::fromUtf8(error.what()));
        return;
    }
    ShowPrompt(this, QMessageBox::Information, "管理员密码更改成功！");
    accept();
}

void ChangePassword(QWidget* owner) {
    TChangePasswordForm form(owner);
    form.exec();
}
