#pragma once

#include <csignal>

// Serves the current InterfaceMode without a window until one of `stopSignals` arrives (they
// must already be blocked in every thread). The listener's start and stop lines go to standard
// output. Answers the process exit status: 0 after an orderly stop, 1 when the listener could
// not start.
int RunHeadlessInterface(const sigset_t& stopSignals);
