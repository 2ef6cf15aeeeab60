#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QString;

// The operator's dialog for trying the member-card device by hand. Every button calls one
// operation of MemberCard directly; nothing goes through the request handler or the log.
class TMemberTestForm : public QDialog {
    Q_OBJECT

public:
    explicit TMemberTestForm(QWidget* parent = nullptr);

    // "酒店会员卡" is the hotel's own card, -1; any other text, typed or chosen, is 11.
    static int ChannelOf(const QString& cardKind);

    QPushButton* OpenPortBtn;
    QPushButton* beepBtn;
    QPushButton* ClosePortBtn;
    QLabel* Label3;
    QComboBox* ChannelCmb;
    QLabel* Label1;
    QLineEdit* CardNoEdit;
    QLabel* Label2;
    QLineEdit* PasswordEdit;
    QPushButton* ReadCardBtn;
    QPushButton* WriteCardBtn;

public slots:
    void OpenPortBtnClick();
    void ClosePortBtnClick();
    void beepBtnClick();
    void ReadCardBtnClick();
    void WriteCardBtnClick();
};

// The Test action of the member-card interface: a fresh dialog without owner, shown modally and
// freed when it closes.
void ShowMemberTestForm();
