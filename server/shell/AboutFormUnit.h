#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The About box of the running interface mode.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    TAboutForm();

private:
    void FormCreate();

    QLabel* Image1;
    QLabel* lblAppTitle;
    QLabel* lblVersion;
    QLabel* lblCopyright;
    QLabel* lblCompany;
    QPlainTextEdit* mmo;
    QPushButton* btnOK;
};

// Shows the About box, centred on the screen, until the operator closes it.
void ShowAbout();
