#pragma once

#include "shell/DateTimeUnit.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Lets the operator drive the encoder by hand: open and close the port, beep, write a key card
// for a room and a time span, read a card back, erase a card. It reports through the log lines
// of the device and the store; only a read shows its card number here.
class TDoorlockTestForm : public QDialog {
    Q_OBJECT

public:
    explicit TDoorlockTestForm(QWidget* owner = nullptr);

    // Check-in an hour before `now`, check-out two days after it.
    void FormCreate(TDateTime now);

    void OpenPortBtnClick();
    void beepBtnClick();
    void ClosePortBtnClick();
    void WriteCardBtnClick();
    void ReadCardBtnClick();
    void EraseCardBtnClick();

    QPushButton* OpenPortBtn;
    QPushButton* beepBtn;
    QPushButton* ClosePortBtn;
    QLabel* Label2;
    QLineEdit* RoomBuildingCodeTxt;
    QLabel* Label3;
    QLineEdit* RoomFloorCodeTxt;
    QLabel* Label4;
    QLineEdit* RoomNoTxt;
    QLabel* Label7;
    QLineEdit* CheckInDateTimeTxt;
    QLabel* Label8;
    QLineEdit* CheckOutDateTimeTxt;
    QPushButton* WriteCardBtn;
    QCheckBox* IsCopyCheckBox;
    QLabel* Label1;
    QLineEdit* CardNoTxt;
    QPushButton* ReadCardBtn;
    QPushButton* EraseCardBtn;

private:
    // Runs one button's work; an error reaches the operator in an error message box.
    template <typename F> void Guarded(F&& work);
};

// The Test action of the door-lock interface: the dialog with no owner, modal, freed on close.
void ShowDoorlockTestForm();
