#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The administrator password prompt: closes with Accepted only for the current password.
class TCheckPasswordForm : public QDialog {
    Q_OBJECT
public:
    explicit TCheckPasswordForm(QWidget* owner);

private:
    void btnOKClick();

    QLabel* Image1;
    QLabel* Label1;
    QLineEdit* edtPswd;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Asks for the administrator password over owner; true when the operator confirmed it.
bool CheckPassword(QWidget* owner);
