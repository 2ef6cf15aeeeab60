#pragma once

#include "shell/RequestListenerUnit.h"

class TXmlRequest;

#include <string>

// Serves one member-card request: "WriteMemberCard" or "ReadMemberCard", read by the root's
// type attribute and by the position of the root's child elements, answered through MemberCard.
class TMemberMessageHandler : public TMessageHandler {
public:
    // A malformed request (no XML, a child missing, a read flag that is no integer) leaves by an
    // exception, so the listener closes the connection without an answer.
    void HandleMessage(TConnection& connection, const std::string& text) override;

    // Reads children 0 to 4 and the optional channel of a write request, then calls the device;
    // false without a device.
    bool WriteCard(const TXmlRequest& request);
    // MemberCard's ReadCard with the same arguments; false, outputs untouched, without a device.
    bool ReadCard(bool Flag, const char*& CardNo, const char*& Password, const char*& ExpireDate,
                  const char*& GuestName, const char*& Score, int Channel);

private:
    // The answer of one request; a type of this unit only.
    struct TResponse {
        std::string RequestID;
        std::string ResultCode;
        std::string ResultMessage;
        std::string CardNo;
        std::string Password;
        std::string ExpireDate;
        std::string GuestName;
        std::string Score;
    };

    // Writes the answer and its NUL in one write; a client that has gone is no error here.
    void SendResponse(TConnection& connection, const TResponse& response);
    static std::string ResponseToXml(const TResponse& response);
};
