#include "DoorlockMessageHandlerUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockIssueUnit.h"
#include "shell/DateTimeUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/SysOptionUnit.h"
#include "shell/XmlMessageUnit.h"

#include <charconv>
#include <stdexcept>
#include <string_view>

struct TDoorlockMessageHandler::TResponse {
    std::string RequestID;
    std::string ResultCode;
    std::string ResultMessage;
    int64_t CardNo = 0;
};

namespace {

constexpr size_t IssueFieldCount = 11;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// A number other than zero or "True" is a copy; zero, "False" and anything else are not.
bool CopyFlag(std::string_view text) {
    if (EqualsIgnoringCase(text, "true"))
        return true;
    // Numbers may stand between blanks and carry a plus sign.
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || !(text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value != 0;
}

TDateTime ParseDateTime(const std::string& date, const std::string& time) {
    const std::string text = date + " " + time;
    if (auto value = TDateTime::Parse(text))
        return *value;
    throw std::invalid_argument("'" + text + "' is not a valid date and time");
}

} // namespace

std::string ResponseToXml(const TDoorlockMessageHandler::TResponse& response) {
    return "<DoorResponse>" + XmlElement("RequestID", response.RequestID) +
           XmlElement("ResultCode", response.ResultCode) +
           XmlElement("ResultMessage", response.ResultMessage) +
           XmlElement("CardNo", std::to_string(response.CardNo)) + "</DoorResponse>";
}

void TDoorlockMessageHandler::HandleMessage(TConnection& connection, const std::string& text) {
    WriteLog("收到消息: \r\n" + text);

    const TXmlRequest request(text);
    const std::string type = request.Type();
    TResponse response;

    WriteLog("执行操作->");
    if (type == "IssueCard") {
        int64_t cardNo = 0;
        const bool issued = IssueCard(request, cardNo);
        const std::string roomCode = request.FieldText(4);
        response.ResultCode = issued ? "200" : "500";
        response.ResultMessage = issued ? "发卡成功" : "发卡失败";
        response.CardNo = cardNo;
        WriteLog("房间(" + roomCode + (issued ? ")发卡成功" : ")发卡失败"));
        SendResponse(connection, response);
    } else if (type == "ReadCard") {
        int64_t cardNo = 0;
        if (ReadCard(cardNo)) {
            response.ResultCode = "200";
            response.ResultMessage = "读卡成功";
            response.CardNo = cardNo;
            WriteLog("读卡成功，卡号为：" + std::to_string(cardNo));
        } else {
            response.ResultCode = "500";
            response.ResultMessage = "读卡失败";
            WriteLog("读卡失败");
        }
        SendResponse(connection, response);
    } else if (type == "EraseCard") {
        if (EraseCard()) {
            response.ResultCode = "200";
            response.ResultMessage = "注销卡成功 ";
            WriteLog("注销卡成功");
        } else {
            response.ResultCode = "500";
            response.ResultMessage = "注销卡失败 ";
            WriteLog("注销卡失败");
        }
        SendResponse(connection, response);
    }
    WriteLog("完成一次操作");
}

bool TDoorlockMessageHandler::IssueCard(const TXmlRequest& request, int64_t& CardNo) {
    if (request.FieldCount() < IssueFieldCount)
        throw std::invalid_argument("IssueCard needs 11 fields");
    const TSysOption defaults{""};
    const TSysOption& options = SysOption ? *SysOption : defaults;

    TCardIssue issue;
    issue.RegisterId = request.FieldText(1);
    issue.BuildingCode = request.FieldText(2);
    issue.FloorCode = request.FieldText(3);
    issue.RoomCode = request.FieldText(4);
    issue.GuestName = request.FieldText(5);
    issue.CheckIn =
        ParseDateTime(request.FieldText(6), request.FieldText(7)).IncMinute(-options.DelayMinutes);
    issue.CheckOut =
        ParseDateTime(request.FieldText(8), request.FieldText(9)).IncMinute(options.DelayMinutes2);
    issue.IsCopy = CopyFlag(request.FieldText(10));
    return IssueGuestCard(issue, CardNo);
}

bool TDoorlockMessageHandler::ReadCard(int64_t& CardNo) {
    auto guard = LockDoorlockOperations();
    TBaseDoorlock* device = Doorlock;
    return device && device->ReadCard(CardNo);
}

bool TDoorlockMessageHandler::EraseCard() {
    auto guard = LockDoorlockOperations();
    TBaseDoorlock* device = Doorlock;
    return device && device->EraseCard();
}

void TDoorlockMessageHandler::SendResponse(TConnection& connection, const TResponse& response) {
    std::string bytes = ResponseToXml(response);
    bytes += '\0';
    try {
        connection.Write(bytes);
    } catch (...) {
        // The client may already be gone; its answer has nowhere to go.
    }
}
