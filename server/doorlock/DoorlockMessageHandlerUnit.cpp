#include "DoorlockMessageHandlerUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockIssueUnit.h"
#include "shell/DateTimeUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/SysOptionUnit.h"

#include <pugixml.hpp>

#include <charconv>
#include <stdexcept>
#include <string_view>
#include <vector>

struct TDoorlockMessageHandler::TResponse {
    std::string RequestID;
    std::string ResultCode;
    std::string ResultMessage;
    int64_t CardNo = 0;
};

namespace {

constexpr size_t IssueFieldCount = 11;

// Three replacements keep every answer well-formed; a DOM writer would change the fixed layout
// (short empty elements) that PMS clients compare against.
std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Blanks and control characters around the value do not count.
std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

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
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || !(text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value != 0;
}

// The request's fields are its element children by position; their names do not matter.
std::vector<pugi::xml_node> Fields(const pugi::xml_node& root) {
    std::vector<pugi::xml_node> fields;
    for (pugi::xml_node child : root.children())
        if (child.type() == pugi::node_element)
            fields.push_back(child);
    return fields;
}

TDateTime ParseDateTime(const std::string& date, const std::string& time) {
    const std::string text = date + " " + time;
    if (auto value = TDateTime::Parse(text))
        return *value;
    throw std::invalid_argument("'" + text + "' is not a valid date and time");
}

} // namespace

std::string ResponseToXml(const TDoorlockMessageHandler::TResponse& response) {
    return "<DoorResponse><RequestID>" + EscapeXml(response.RequestID) + "</RequestID>" +
           "<ResultCode>" + EscapeXml(response.ResultCode) + "</ResultCode>" + "<ResultMessage>" +
           EscapeXml(response.ResultMessage) + "</ResultMessage>" + "<CardNo>" +
           std::to_string(response.CardNo) + "</CardNo>" + "</DoorResponse>";
}

void TDoorlockMessageHandler::HandleMessage(TConnection& connection, const std::string& text) {
    WriteLog("收到消息: \r\n" + text);

    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        throw std::invalid_argument(parsed.description());
    const pugi::xml_node root = document.document_element();
    const std::string type(Trim(root.attribute("type").value()));
    TResponse response;

    WriteLog("执行操作->");
    if (type == "IssueCard") {
        int64_t cardNo = 0;
        const bool issued = IssueCard(root, cardNo);
        const std::string roomCode = Fields(root)[4].child_value();
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

bool TDoorlockMessageHandler::IssueCard(const pugi::xml_node& root, int64_t& CardNo) {
    const std::vector<pugi::xml_node> fields = Fields(root);
    if (fields.size() < IssueFieldCount)
        throw std::invalid_argument("IssueCard needs 11 fields");
    const TSysOption defaults{""};
    const TSysOption& options = SysOption ? *SysOption : defaults;

    TCardIssue issue;
    issue.RegisterId = fields[1].child_value();
    issue.BuildingCode = fields[2].child_value();
    issue.FloorCode = fields[3].child_value();
    issue.RoomCode = fields[4].child_value();
    issue.GuestName = fields[5].child_value();
    issue.CheckIn = ParseDateTime(fields[6].child_value(), fields[7].child_value())
                        .IncMinute(-options.DelayMinutes);
    issue.CheckOut = ParseDateTime(fields[8].child_value(), fields[9].child_value())
                         .IncMinute(options.DelayMinutes2);
    issue.IsCopy = CopyFlag(fields[10].child_value());
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
