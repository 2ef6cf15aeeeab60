#include "InterfaceUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockMessageHandlerUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/MemberMessageHandlerUnit.h"
#include "police/BasePoliceUnit.h"
#include "police/PoliceMessageHandlerUnit.h"
#include "shell/InterfaceModeUnit.h"

std::unique_ptr<TMessageHandler> CreateMessageHandler() {
    switch (InterfaceMode) {
    case DoorlockInterface:
        return std::make_unique<TDoorlockMessageHandler>();
    case PoliceInterface:
        return std::make_unique<TPoliceMessageHandler>();
    case MemberInterface:
        return std::make_unique<TMemberMessageHandler>();
    default:
        return nullptr;
    }
}

void ShowModeOptionDialog() {
    switch (InterfaceMode) {
    case DoorlockInterface:
        // Doorlock changes only on the main thread, at start-up and shutdown, so it is read here
        // without the operations lock, which a modal dialog must not hold.
        if (Doorlock)
            Doorlock->ShowOptionDialog();
        break;
    case PoliceInterface:
        if (Police)
            Police->ShowOptionDialog();
        break;
    case MemberInterface:
        if (MemberCard)
            MemberCard->ShowOptionDialog();
        break;
    }
}
