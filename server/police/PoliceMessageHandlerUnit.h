#pragma once

#include "police/BasePoliceUnit.h"
#include "shell/RequestListenerUnit.h"

#include <optional>
#include <string>

// Serves one police request: whatever the request says, the answer is the device's current
// guest. The request is only logged.
class TPoliceMessageHandler : public TMessageHandler {
public:
    void HandleMessage(TConnection& connection, const std::string& text) override;

private:
    // Logs the reply and writes it with its NUL in one write; a client that has gone is no error
    // here. Leaves by an exception, before anything is logged or written, when the guest cannot
    // be rendered.
    void SendResponse(TConnection& connection, const std::optional<TGuest>& guest);
};

// The guest as one Guest element. IdCardTypeID is always "11" and SalutationID is GenderID + 1,
// whatever the record's own fields hold. Throws std::invalid_argument("'<GenderID>' is not a
// valid integer value") when GenderID is no decimal integer.
std::string GuestToXml(const TGuest& guest);
