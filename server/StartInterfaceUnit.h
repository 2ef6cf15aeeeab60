#pragma once

class QApplication;
class TBaseDoorlock;

// Sets InterfaceMode, stores a non-null door-lock device in Doorlock, runs the main window until
// it closes and frees it, also when the run ends with an exception. SIGINT and SIGTERM, blocked
// by the caller and readable from stopSignalFd (a signalfd), close the window without the
// password prompt.
void StartInterface(QApplication& application, TBaseDoorlock* device, int mode, int stopSignalFd);
