#pragma once

#include "shell/DateTimeUnit.h"

#include <cstdint>
#include <string>

// One key-card issue as the request handler and the test dialog both ask for it. CheckIn and
// CheckOut are final: any delay shift of the caller is already applied.
struct TCardIssue {
    std::string RegisterId;
    std::string BuildingCode;
    std::string FloorCode;
    std::string RoomCode;
    std::string GuestName;
    TDateTime CheckIn;
    TDateTime CheckOut;
    bool IsCopy = false;

    // Building, floor and room codes joined as received.
    std::string RoomNo() const { return BuildingCode + FloorCode + RoomCode; }
};

// Issues one key card on Doorlock and keeps the room's stay and the issue record as the
// settings ask, all under the door-lock lock so that two keys of one stay can never get two
// different start times or two room rows. The card starts at CheckIn, or with the native
// database on at the stay's start (now minus DelayMinutes for a new check-in, the stored start
// for a copy). CardNo is written only on success. Answers false with no device. Errors of the
// device (a code that is no integer in range) pass on to the caller; what the store has written
// by then stays.
bool IssueGuestCard(const TCardIssue& issue, int64_t& CardNo);
