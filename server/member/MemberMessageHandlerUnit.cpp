#include "MemberMessageHandlerUnit.h"

#include "member/BaseMemberUnit.h"
#include "shell/LogFileUnit.h"

#include <charconv>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace {

// Blanks and control characters, the bytes up to and including the space.
std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

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

// The child element at `index` counted from 0 in document order; names are not looked at.
pugi::xml_node ChildAt(const pugi::xml_node& root, size_t index) {
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (index == 0)
            return child;
        --index;
    }
    return {};
}

std::string RequiredChildText(const pugi::xml_node& root, size_t index) {
    const pugi::xml_node child = ChildAt(root, index);
    if (!child)
        throw std::invalid_argument("child element " + std::to_string(index) + " is missing");
    return child.text().get();
}

// -1 when the child is absent or holds no integer.
int ChannelAt(const pugi::xml_node& root, size_t index) {
    const pugi::xml_node child = ChildAt(root, index);
    if (!child)
        return -1;
    return ParseInteger(child.text().get()).value_or(-1);
}

std::string Copy(const char* text) {
    return text ? text : "";
}

} // namespace

void TMemberMessageHandler::HandleMessage(TConnection& connection, const std::string& text) {
    WriteLog("收到消息: \r\n" + text);

    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        throw std::invalid_argument(parsed.description());
    const pugi::xml_node root = document.document_element();
    const std::string_view type = Trim(root.attribute("type").value());

    TResponse response;
    if (type == "WriteMemberCard") {
        const std::string cardNo = RequiredChildText(root, 1);
        const bool written = WriteCard(root);
        response.ResultCode = written ? "200" : "500";
        response.ResultMessage = written ? "写卡成功" : "写卡失败";
        response.CardNo = cardNo;
        WriteLog((written ? "写卡成功,卡号为:" : "写卡失败,卡号为:") + cardNo);
        SendResponse(connection, response);
    } else if (type == "ReadMemberCard") {
        const std::string flagText = RequiredChildText(root, 1);
        const std::optional<int> flagValue = ParseInteger(flagText);
        if (!flagValue)
            throw std::invalid_argument("'" + flagText + "' is not a valid integer value");
        const bool flag = *flagValue == 1;
        const int channel = ChannelAt(root, 2);

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

bool TMemberMessageHandler::WriteCard(const pugi::xml_node& root) {
    RequiredChildText(root, 0);
    std::string cardNo = RequiredChildText(root, 1);
    std::string secondValue = RequiredChildText(root, 2);
    std::string thirdValue = RequiredChildText(root, 3);
    std::string fourthValue = RequiredChildText(root, 4);
    const int channel = ChannelAt(root, 5);
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
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("DoorResponse");
    // Password travels last although the response holds it fifth: PMS clients expect this order.
    const std::pair<const char*, const std::string*> elements[] = {
        {"RequestID", &response.RequestID},
        {"ResultCode", &response.ResultCode},
        {"ResultMessage", &response.ResultMessage},
        {"CardNo", &response.CardNo},
        {"ExpireDate", &response.ExpireDate},
        {"GuestName", &response.GuestName},
        {"Score", &response.Score},
        {"Password", &response.Password},
    };
    for (const auto& [name, value] : elements) {
        pugi::xml_node element = root.append_child(name);
        if (!value->empty())
            element.text().set(value->c_str());
    }
    // The library escapes the values, so every answer is well-formed XML.
    std::ostringstream out;
    root.print(out, "",
               pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags);
    return out.str();
}
