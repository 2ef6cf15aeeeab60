#include "HeadlessInterfaceUnit.h"

#include "InterfaceUnit.h"
#include "shell/InterfaceModeUnit.h"
#include "shell/SysOptionUnit.h"

#include <iostream>

int RunHeadlessInterface(const sigset_t& stopSignals) {
    TRequestListener listener(CreateMessageHandler,
                              {SysOption->ReadTimeoutSeconds, SysOption->MaxConnections});
    std::cout << ListenerStartLine(InterfaceMode) << std::endl;
    try {
        listener.Start(ListenerPort(InterfaceMode, *SysOption));
    } catch (const std::exception& error) {
        // Without a window nobody could act on a listener that never started: say why and end.
        std::cerr << "halvane: " << error.what() << std::endl;
        return 1;
    }
    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    if (listener.Stop(std::chrono::milliseconds(5000)))
        std::cout << ListenerStopLine << std::endl;
    else
        std::cerr << "halvane: 仍有连接未结束，等待其完成后退出。" << std::endl;
    return 0; // the listener's destructor waits for the last connection threads
}
