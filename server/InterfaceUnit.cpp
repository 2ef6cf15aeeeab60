#include "InterfaceUnit.h"

#include "shell/InterfaceModeUnit.h"

std::unique_ptr<TMessageHandler> CreateMessageHandler() {
    switch (InterfaceMode) {
    default:
        return nullptr;
    }
}

void ShowModeOptionDialog() {}
