#pragma once

#include "doorlock/BaseDoorlockUnit.h"

#include <string>

// The door-lock device of this server: the lock vendor's encoder library (libtarnel.so),
// linked directly. It keeps no state; the encoder's state lives in the library.
class THalvane : public TBaseDoorlock {
public:
    void ShowOptionDialog() override;
    bool OpenPort() override;
    void Beep() override;
    bool ClosePort() override;
    // Throws std::invalid_argument, before the encoder is touched and after logging why, when a
    // code is no integer in 0..32767 or the card number would not fit a signed 64-bit integer.
    bool IssueCard(std::string RegisterId, std::string BuildingCode, std::string FloorCode,
                   std::string RoomCode, std::string GuestName, TDateTime StartTime,
                   TDateTime StartTime2, TDateTime EndTime, TDateTime EndTime2, bool IsCopy,
                   int64_t& CardNo) override;
    bool ReadCard(int64_t& CardNo) override;
    bool EraseCard() override;
};

// The operator's text for a library result code other than 1.
std::string ErrorText(int code);
