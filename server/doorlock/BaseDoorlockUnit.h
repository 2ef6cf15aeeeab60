#pragma once

#include "shell/DateTimeUnit.h"

#include <cstdint>
#include <mutex>
#include <string>

// The door-lock card encoder as the rest of the server sees it. Operations answer whether they
// succeeded and write their out-parameters only on success; the base bodies are the defaults of
// a device that can do nothing.
class TBaseDoorlock {
public:
    virtual ~TBaseDoorlock() = default;

    virtual void ShowOptionDialog();
    virtual bool OpenPort();
    virtual void Beep();
    virtual bool ClosePort();
    // StartTime2 and EndTime2 are second copies of StartTime and EndTime; every caller passes
    // the same values. IsCopy marks a further key for a stay whose guest already holds one.
    virtual bool IssueCard(std::string RegisterId, std::string BuildingCode, std::string FloorCode,
                           std::string RoomCode, std::string GuestName, TDateTime StartTime,
                           TDateTime StartTime2, TDateTime EndTime, TDateTime EndTime2, bool IsCopy,
                           int64_t& CardNo);
    virtual bool ReadCard(int64_t& CardNo);
    virtual bool EraseCard();
};

// The active device; null until start-up sets it. Owned by the program entry, never by its
// users. Read it only while holding LockDoorlockOperations().
extern TBaseDoorlock* Doorlock;

// The one lock of door-lock operations. A whole issue (start-time look-up, room row, encoder
// call, stored records), a read, an erase and each button of the test dialog run while holding
// it, so that connection threads and the main thread never interleave on the one encoder or
// the one record store.
[[nodiscard]] std::unique_lock<std::mutex> LockDoorlockOperations();

// For shutdown: waits until the operation in progress has ended, then clears Doorlock so that
// no later operation reaches the device, and returns the device that was set. After this the
// caller may ClosePort and free the device even if a connection outlived the listener's stop.
TBaseDoorlock* ReleaseDoorlock();
