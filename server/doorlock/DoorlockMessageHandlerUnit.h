#pragma once

#include "shell/RequestListenerUnit.h"

#include <cstdint>
#include <string>

class TXmlRequest;

// Serves one door-lock request of the hotel management system: IssueCard, ReadCard or
// EraseCard, chosen by the root's type attribute, answered with one DoorResponse. A request
// that cannot be served (no XML, missing fields, a bad date or code) ends with an exception and
// no answer; the listener then closes the connection.
class TDoorlockMessageHandler : public TMessageHandler {
public:
    void HandleMessage(TConnection& connection, const std::string& text) override;

private:
    struct TResponse;

    bool IssueCard(const TXmlRequest& request, int64_t& CardNo);
    bool ReadCard(int64_t& CardNo);
    bool EraseCard();
    void SendResponse(TConnection& connection, const TResponse& response);

    friend std::string ResponseToXml(const TResponse& response);
};
