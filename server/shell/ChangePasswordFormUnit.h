#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Takes a new administrator password twice and stores it in Option.ini.
class TChangePasswordForm : public QDialog {
    Q_OBJECT
public:
    explicit TChangePasswordForm(QWidget* owner);

private:
    void btnOKClick();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* edtPswd;
    QLineEdit* edtConfirmPswd;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Shows the password change dialog over owner; the caller asks for the current password first.
void ChangePassword(QWidget* owner);
