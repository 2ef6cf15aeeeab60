#include "MemberMessageHandlerUnit.h"

#include "member/BaseMemberUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/XmlMessageUnit.h"

#include <charconv>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace {

// Decimal with an optional sign, within 32 bits; nothing else counts as an integer here.
std::optional<int> ParseInteger(std::string_view text) {
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-'))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string RequiredFieldText(const TXmlRequest& request, size_t index) {
    if (!request.HasField(index))
        throw std::invalid_argument("child element " + std::to_string(index) + " is missing");
    return request.FieldText(index);
}

// -1 when the child is absent or holds no integer.
int ChannelAt(const TXmlRequest& request, size_t index) {
    if (!request.HasField(index))
        return -1;
    return ParseInteger(request.FieldText(index)).value_or(-1);
}

std::string Copy(const char* text) {
    return text ? text : "";
}

} // namespace

void TMemberMessageHandler::HandleMessage(TConnection& connection, const std::string& text) {
    WriteLog("收到消息: \r\n" + text);

    const TXmlRequest request(text);
    const std::string type = request.Type();

    TResponse response;
    if (type == "WriteMemberCard") {
        const std::string cardNo = RequiredFieldText(request, 1);
        const bool written = WriteCard(request);
        response.ResultCode = written ? "200" : "500";
        response.ResultMessage = written ? "写卡成功" : "写卡失败";
        response.CardNo = cardNo;
        WriteLog((written ? "写卡成功,卡号为:" : "写卡失败,卡号为:") + cardNo);
        SendResponse(connection, response);
    } else if (type == "ReadMemberCard") {
        const std::string flagText = RequiredFieldText(request, 1);
        const std::optional<int> flagValue = ParseInteger(flagText);
        if (!flagValue)
            throw std::invalid_argument("'" + flagText + "' is not a valid integer value");
        const bool flag = *flagValue == 1;
        const int channel = ChannelAt(request, 2);

        const char* cardNo = "";
        const char* password = nullptr;
        const char* expireDate = nullptr;
        const char* guestName = nullptr;
        const char* score = nullptr;
        const bool read = ReadCard(flag, cardNo, password, expireDate, guestName, score, channel);
        // The device owns the texts; copy them before anything else can call it again.
        const std::string readCardNo = Copy(cardNo);
        if (read) {
            response.CardNo = readCardNo;
            response.Password = Copy(password);
            response.ExpireDate = Copy(expireDate);
            response.GuestName = Copy(guestName);
            response.Score = Copy(score);
        }

        WriteLog("CardNo1:" + readCardNo);
        if (read) {
            response.ResultCode = "200";
            response.ResultMessage = "读卡成功";
            WriteLog("读卡成功，卡号为：" + readCardNo);
        } else {
            response.ResultCode = "500";
            response.ResultMessage = "读卡失败";
            WriteLog("读卡失败");
        }
        SendResponse(connection, response);
    }
}

bool TMemberMessageHandler::WriteCard(const TXmlRequest& request) {
    RequiredFieldText(request, 0);
    std::string cardNo = RequiredFieldText(request, 1);
    std::string secondValue = RequiredFieldText(request, 2);
    std::string thirdValue = RequiredFieldText(request, 3);
    std::string fourthValue = RequiredFieldText(request, 4);
    const int channel = ChannelAt(request, 5);
    if (!MemberCard)
        return false;
    return MemberCard->WriteCard(std::move(cardNo), std::move(secondValue), std::move(thirdValue),
                                 std::move(fourthValue), channel);
}

bool TMemberMessageHandler::ReadCard(bool Flag, const char*& CardNo, const char*& Password,
                                     const char*& ExpireDate, const char*& GuestName,
                                     const char*& Score, int Channel) {
    if (!MemberCard)
        return false;
    return MemberCard->ReadCard(Flag, CardNo, Password, ExpireDate, GuestName, Score, Channel);
}

void TMemberMessageHandler::SendResponse(TConnection& connection, const TResponse& response) {
    std::string bytes = ResponseToXml(response);
    bytes += '\0';
    try {
        connection.Write(bytes);
    } catch (const std::exception&) {
        // The client may have gone already; there is nobody left to tell.
    }
}

std::string TMemberMessageHandler::ResponseToXml(const TResponse& response) {
    // Password travels last although the response holds it fifth: PMS clients expect this order.
    return "<DoorResponse>" + XmlElement("RequestID", response.RequestID) +
           XmlElement("ResultCode", response.ResultCode) +
           XmlElement("ResultMessage", response.ResultMessage) +
           XmlElement("CardNo", response.CardNo) + XmlElement("ExpireDate", response.ExpireDate) +
           XmlElement("GuestName", response.GuestName) + XmlElement("Score", response.Score) +
           XmlElement("Password", response.Password) + "</DoorResponse>";
}
