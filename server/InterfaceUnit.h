#pragma once

#include "shell/RequestListenerUnit.h"

#include <memory>

// What switches on InterfaceMode between the listener, the main window and the devices.

// A fresh handler of the current mode for one connection; null when the mode has none.
std::unique_ptr<TMessageHandler> CreateMessageHandler();

// The Options action after the password: the mode's device's ShowOptionDialog when the device
// reference of the mode is set; otherwise nothing.
void ShowModeOptionDialog();
