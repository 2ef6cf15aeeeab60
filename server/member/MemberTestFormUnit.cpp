#include "MemberTestFormUnit.h"

#include "member/BaseMemberUnit.h"
#include "shell/ShellDialogUnit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace {

const char* const HotelCardKind = "酒店会员卡";

template <typename TWidget>
TWidget* Place(TWidget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QString Text(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

TMemberTestForm::TMemberTestForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MemberTestForm"));
    setWindowTitle(QStringLiteral("测试"));
    setFixedSize(441, 311);
    setFont(TestDialogFont());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    OpenPortBtn =
        Place(new QPushButton(QStringLiteral("打开串口"), this), "OpenPortBtn", 24, 16, 75, 25);
    beepBtn = Place(new QPushButton(QStringLiteral("Beep"), this), "beepBtn", 160, 16, 75, 25);
    ClosePortBtn =
        Place(new QPushButton(QStringLiteral("关闭串口"), this), "ClosePortBtn", 296, 16, 75, 25);
    Label3 = Place(new QLabel(QStringLiteral("类型"), this), "Label3", 94, 83, 32, 13);
    ChannelCmb = Place(new QComboBox(this), "ChannelCmb", 150, 77, 169, 21);
    ChannelCmb->setEditable(true);
    ChannelCmb->addItems({QString::fromUtf8(HotelCardKind), QStringLiteral("Corvel联盟卡")});
    ChannelCmb->setCurrentIndex(0);
    Label1 = Place(new QLabel(QStringLiteral("卡号"), this), "Label1", 94, 133, 24, 13);
    CardNoEdit = Place(new QLineEdit(this), "CardNoEdit", 150, 125, 169, 21);
    Label2 = Place(new QLabel(QStringLiteral("密码:"), this), "Label2", 94, 173, 27, 13);
    PasswordEdit = Place(new QLineEdit(this), "PasswordEdit", 150, 165, 169, 21);
    ReadCardBtn =
        Place(new QPushButton(QStringLiteral("读卡"), this), "ReadCardBtn", 118, 221, 75, 25);
    WriteCardBtn =
        Place(new QPushButton(QStringLiteral("写卡"), this), "WriteCardBtn", 238, 221, 75, 25);

    // Labels are sized to their text at the original font; let a wider font show all of it.
    for (QLabel* label : {Label3, Label1, Label2})
        label->adjustSize();
    // No button closes the dialog when Enter is pressed in an edit.
    for (QPushButton* button : {OpenPortBtn, beepBtn, ClosePortBtn, ReadCardBtn, WriteCardBtn})
        button->setAutoDefault(false);

    QWidget::setTabOrder(OpenPortBtn, ClosePortBtn);
    QWidget::setTabOrder(ClosePortBtn, CardNoEdit);
    QWidget::setTabOrder(CardNoEdit, PasswordEdit);
    QWidget::setTabOrder(PasswordEdit, ReadCardBtn);
    QWidget::setTabOrder(ReadCardBtn, WriteCardBtn);
    QWidget::setTabOrder(WriteCardBtn, beepBtn);
    QWidget::setTabOrder(beepBtn, ChannelCmb);

    connect(OpenPortBtn, &QPushButton::clicked, this, &TMemberTestForm::OpenPortBtnClick);
    connect(ClosePortBtn, &QPushButton::clicked, this, &TMemberTestForm::ClosePortBtnClick);
    connect(beepBtn, &QPushButton::clicked, this, &TMemberTestForm::beepBtnClick);
    connect(ReadCardBtn, &QPushButton::clicked, this, &TMemberTestForm::ReadCardBtnClick);
    connect(WriteCardBtn, &QPushButton::clicked, this, &TMemberTestForm::WriteCardBtnClick);
}

int TMemberTestForm::ChannelOf(const QString& cardKind) {
    return cardKind == QString::fromUtf8(HotelCardKind) ? -1 : 11;
}

// The main window opens the dialog only while a device is installed; the checks below keep a
// dialog opened some other way from calling through a null device.
void TMemberTestForm::OpenPortBtnClick() {
    if (MemberCard)
        MemberCard->OpenPort();
}

void TMemberTestForm::ClosePortBtnClick() {
    if (MemberCard)
        MemberCard->ClosePort();
}

void TMemberTestForm::beepBtnClick() {
    if (MemberCard)
        MemberCard->Beep();
}

void TMemberTestForm::ReadCardBtnClick() {
    if (!MemberCard)
        return;
    const int channel = ChannelOf(ChannelCmb->currentText());
    const char* cardNo = "";
    const char* password = "";
    const char* expireDate = "";
    const char* guestName = "";
    const char* score = "";
    // The result does not matter here: the edits show whatever the device handed out.
    MemberCard->ReadCard(false, cardNo, password, expireDate, guestName, score, channel);
    CardNoEdit->setText(Text(cardNo));
    PasswordEdit->setText(Text(password));
}

void TMemberTestForm::WriteCardBtnClick() {
    if (!MemberCard)
        return;
    const int channel = ChannelOf(ChannelCmb->currentText());
    MemberCard->WriteCard(CardNoEdit->text().toStdString(), std::string(), std::string(),
                          std::string(), channel);
}

void ShowMemberTestForm() {
    TMemberTestForm form;
    form.exec();
}
