#include "PoliceMessageHandlerUnit.h"

#include "shell/LogFileUnit.h"
#include "shell/XmlMessageUnit.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace {

// Decimal with an optional sign, within 32 bits, as gender codes are stored.
int ParseGenderID(const std::string& text) {
    std::string_view digits = text;
    const bool plus = !digits.empty() && digits.front() == '+';
    if (plus)
        digits.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || (plus && digits.front() == '-') || error != std::errc() ||
        end != digits.data() + digits.size())
        throw std::invalid_argument("'" + text + "' is not a valid integer value");
    return value;
}

} // namespace

void TPoliceMessageHandler::HandleMessage(TConnection& connection, const std::string& text) {
    WriteLog("收到消息: \r\n" + text);
    // Without an installed device there is no guest to give; the client still gets an answer.
    SendResponse(connection, Police ? Police->GetGuest() : std::nullopt);
}

void TPoliceMessageHandler::SendResponse(TConnection& connection,
                                         const std::optional<TGuest>& guest) {
    const std::string reply =
        "<PoliceResponse>" + (guest ? GuestToXml(*guest) : std::string()) + "</PoliceResponse>";
    WriteLog("返回结果: \r\n" + reply);
    std::string bytes = reply;
    bytes += '\0';
    try {
        connection.Write(bytes);
    } catch (const std::exception&) {
        // The client may have gone already; there is nobody left to tell.
    }
}

std::string GuestToXml(const TGuest& guest) {
    // Widened first so that the largest code still gets its successor.
    const std::string salutation = std::to_string(std::int64_t{ParseGenderID(guest.GenderID)} + 1);

    // Every guest goes out as an identity card, whatever the device recorded.
    return "<Guest>" + XmlElement("RoomNo", guest.RoomNo) +
           XmlElement("EnterTime", guest.EnterTime) + XmlElement("IdCardTypeID", "11") +
           XmlElement("IdCardNo", guest.IdCardNo) + XmlElement("Name", guest.Name) +
           XmlElement("Nationality", guest.Nationality) + XmlElement("GenderID", guest.GenderID) +
           XmlElement("SalutationID", salutation) + XmlElement("CountryCode", guest.CountryCode) +
           XmlElement("ProvinceCode", guest.ProvinceCode) + XmlElement("Address", guest.Address) +
           XmlElement("Birthday", guest.Birthday) + "</Guest>";
}
