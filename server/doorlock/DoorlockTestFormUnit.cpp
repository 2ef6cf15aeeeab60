#include "DoorlockTestFormUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockIssueUnit.h"
#include "shell/ShellDialogUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>

namespace {

template <typename T>
T* Place(QWidget* parent, const char* name, int x, int y, int width, int height,
         const QString& text = {}) {
    auto* control = new T(text, parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(x, y, width, height);
    return control;
}

// Labels size themselves to their caption, as they did at design time; the CJK captions need a
// little more room than the design-time font gave them.
QLabel* PlaceLabel(QWidget* parent, const char* name, int x, int y, int width, int height,
                   const QString& text) {
    QLabel* label = Place<QLabel>(parent, name, x, y, width, height, text);
    const QSize hint = label->sizeHint();
    label->resize(std::max(width, hint.width()), std::max(height, hint.height()));
    return label;
}

TDateTime ParseTyped(const QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    if (auto value = TDateTime::Parse(text))
        return *value;
    throw std::invalid_argument("'" + text + "' 不是有效的日期时间");
}

} // namespace

TDoorlockTestForm::TDoorlockTestForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("DoorlockTestForm"));
    setWindowTitle(QStringLiteral("测试"));
    setFixedSize(599, 394);
    setFont(TestDialogFont());

    OpenPortBtn = Place<QPushButton>(this, "OpenPortBtn", 144, 24, 75, 25, "打开串口");
    beepBtn = Place<QPushButton>(this, "beepBtn", 280, 24, 75, 25, "Beep");
    ClosePortBtn = Place<QPushButton>(this, "ClosePortBtn", 424, 24, 75, 25, "关闭串口");
    Label2 = PlaceLabel(this, "Label2", 104, 152, 27, 13, "楼号:");
    RoomBuildingCodeTxt = Place<QLineEdit>(this, "RoomBuildingCodeTxt", 160, 152, 71, 21, "00");
    Label3 = PlaceLabel(this, "Label3", 248, 152, 27, 13, "楼层:");
    RoomFloorCodeTxt = Place<QLineEdit>(this, "RoomFloorCodeTxt", 280, 152, 71, 21, "01");
    Label4 = PlaceLabel(this, "Label4", 392, 152, 27, 13, "房号:");
    RoomNoTxt = Place<QLineEdit>(this, "RoomNoTxt", 424, 152, 71, 21, "01");
    Label7 = PlaceLabel(this, "Label7", 96, 200, 60, 13, "起始时间：");
    CheckInDateTimeTxt = Place<QLineEdit>(this, "CheckInDateTimeTxt", 160, 200, 121, 21);
    Label8 = PlaceLabel(this, "Label8", 304, 200, 12, 13, "到");
    CheckOutDateTimeTxt = Place<QLineEdit>(this, "CheckOutDateTimeTxt", 336, 200, 121, 21);
    WriteCardBtn = Place<QPushButton>(this, "WriteCardBtn", 424, 248, 75, 25, "写卡");
    IsCopyCheckBox = Place<QCheckBox>(this, "IsCopyCheckBox", 320, 256, 57, 17, "复制");
    Label1 = PlaceLabel(this, "Label1", 104, 312, 24, 13, "卡号");
    CardNoTxt = Place<QLineEdit>(this, "CardNoTxt", 160, 304, 121, 21);
    ReadCardBtn = Place<QPushButton>(this, "ReadCardBtn", 320, 304, 75, 25, "读卡");
    EraseCardBtn = Place<QPushButton>(this, "EraseCardBtn", 424, 304, 75, 25, "销卡");

    // Enter in a field must not press a button behind the operator's back.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);

    connect(OpenPortBtn, &QPushButton::clicked, this, &TDoorlockTestForm::OpenPortBtnClick);
    connect(beepBtn, &QPushButton::clicked, this, &TDoorlockTestForm::beepBtnClick);
    connect(ClosePortBtn, &QPushButton::clicked, this, &TDoorlockTestForm::ClosePortBtnClick);
    connect(WriteCardBtn, &QPushButton::clicked, this, &TDoorlockTestForm::WriteCardBtnClick);
    connect(ReadCardBtn, &QPushButton::clicked, this, &TDoorlockTestForm::ReadCardBtnClick);
    connect(EraseCardBtn, &QPushButton::clicked, this, &TDoorlockTestForm::EraseCardBtnClick);

    FormCreate(TDateTime::Now());
}

void TDoorlockTestForm::FormCreate(TDateTime now) {
    CheckInDateTimeTxt->setText(QString::fromStdString(now.IncMinute(-60).Format()));
    CheckOutDateTimeTxt->setText(QString::fromStdString(now.IncMinute(2 * 24 * 60).Format()));
}

template <typename F> void TDoorlockTestForm::Guarded(F&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                        QString::fromStdString(e.what()), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("ErrorMessageBox"));
        box.exec();
    }
}

void TDoorlockTestForm::OpenPortBtnClick() {
    Guarded([] {
        auto guard = LockDoorlockOperations();
        if (Doorlock)
            Doorlock->OpenPort();
    });
}

void TDoorlockTestForm::beepBtnClick() {
    Guarded([] {
        auto guard = LockDoorlockOperations();
        if (Doorlock)
            Doorlock->Beep();
    });
}

void TDoorlockTestForm::ClosePortBtnClick() {
    Guarded([] {
        auto guard = LockDoorlockOperations();
        if (Doorlock)
            Doorlock->ClosePort();
    });
}

void TDoorlockTestForm::WriteCardBtnClick() {
    Guarded([this] {
        TCardIssue issue;
        issue.BuildingCode = RoomBuildingCodeTxt->text().toStdString();
        issue.FloorCode = RoomFloorCodeTxt->text().toStdString();
        issue.RoomCode = RoomNoTxt->text().toStdString();
        issue.GuestName = "Test";
        // As typed: the delay settings are for the hotel system's times, not the operator's.
        issue.CheckIn = ParseTyped(CheckInDateTimeTxt);
        issue.CheckOut = ParseTyped(CheckOutDateTimeTxt);
        issue.IsCopy = IsCopyCheckBox->isChecked();
        int64_t cardNo = 0;
        IssueGuestCard(issue, cardNo);
    });
}

void TDoorlockTestForm::ReadCardBtnClick() {
    Guarded([this] {
        int64_t cardNo = 0;
        {
            auto guard = LockDoorlockOperations();
            if (Doorlock)
                Doorlock->ReadCard(cardNo);
        }
        CardNoTxt->setText(QString::number(cardNo));
    });
}

void TDoorlockTestForm::EraseCardBtnClick() {
    Guarded([] {
        auto guard = LockDoorlockOperations();
        if (Doorlock)
            Doorlock->EraseCard();
    });
}

void ShowDoorlockTestForm() {
    auto form = std::make_unique<TDoorlockTestForm>(nullptr);
    form->exec();
}
