#include "InterfaceFormsUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockTestFormUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/MemberTestFormUnit.h"
#include "police/BasePoliceUnit.h"
#include "police/PoliceMessageHandlerUnit.h"
#include "shell/InterfaceModeUnit.h"

#include <QApplication>
#include <QMessageBox>

namespace {

void ShowPoliceGuest(QWidget* mainWindow) {
    const std::optional<TGuest> guest = Police->GetGuest();
    QString text;
    try {
        // With no guest there is nothing to render; the operator is told so instead of an empty
        // box.
        text = guest ? QString::fromStdString(GuestToXml(*guest))
                     : QStringLiteral("当前没有客人信息。");
    } catch (const std::exception& error) {
        QMessageBox::critical(mainWindow, QApplication::applicationDisplayName(),
                              QString::fromStdString(error.what()));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, mainWindow);
    box.setObjectName("PoliceGuestBox");
    box.exec();
}

} // namespace

void ShowModeTest(QWidget* mainWindow) {
    switch (InterfaceMode) {
    case DoorlockInterface:
        if (Doorlock)
            ShowDoorlockTestForm();
        break;
    case PoliceInterface:
        if (Police)
            ShowPoliceGuest(mainWindow);
        break;
    case MemberInterface:
        if (MemberCard)
            ShowMemberTestForm();
        break;
    }
}
