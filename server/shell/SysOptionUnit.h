#pragma once

#include <string>

// The settings of Option.ini, read once at start-up. Only Password changes while the program
// runs, and only a password change writes the file back.
class TSysOption {
public:
    int DoorlockPortNo = 8886;
    bool UseNativeDoorlockDb = false;
    bool SaveDoorlockRecord = false;
    int PolicePortNo = 8885;
    int MemberPortNo = 8883;
    int ScanPortNo = 8881;
    std::string FileName;
    std::string Password = "wexoti";
    int DelayMinutes = 0;
    int DelayMinutes2 = 0;
    // Listener limits: read at start-up, never written by Save.
    int ReadTimeoutSeconds = 30;
    int MaxConnections = 64;

    explicit TSysOption(std::string fileName) : FileName(std::move(fileName)) {}

    void Load();
    // Writes the keys one at a time; throws std::runtime_error("Unable to write to <path>") at
    // the first key it cannot write, leaving the keys before it written.
    void Save() const;
};

// The program-wide settings; null until start-up creates them.
extern TSysOption* SysOption;
