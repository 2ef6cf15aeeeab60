#include "SimulatedPoliceUnit.h"

#include "shell/LogFileUnit.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

namespace {

std::string* Field(TGuest& guest, std::string_view name) {
    std::pair<std::string_view, std::string*> fields[] = {
        {"RoomNo", &guest.RoomNo},
        {"EnterTime", &guest.EnterTime},
        {"IdCardTypeID", &guest.IdCardTypeID},
        {"IdCardNo", &guest.IdCardNo},
        {"Name", &guest.Name},
        {"Nationality", &guest.Nationality},
        {"GenderID", &guest.GenderID},
        {"SalutationID", &guest.SalutationID},
        {"CountryCode", &guest.CountryCode},
        {"ProvinceCode", &guest.ProvinceCode},
        {"Address", &guest.Address},
        {"Birthday", &guest.Birthday},
    };
    for (const auto& [fieldName, field] : fields)
        if (fieldName == name)
            return field;
    return nullptr;
}

} // namespace

TSimulatedPolice::TSimulatedPolice(std::string folder) : Folder_(std::move(folder)) {}

void TSimulatedPolice::ShowOptionDialog() {
    WriteLog("模拟公安设备没有选项，住客数据在 " + GuestFile().string());
}

std::optional<TGuest> TSimulatedPolice::GetGuest() {
    // Each call reads into a guest of its own, so concurrent callers share nothing.
    std::ifstream in(GuestFile(), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // A file saved by a Windows editor may start with a byte-order mark and end lines in CR LF.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    TGuest guest;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        if (std::string* field = Field(guest, std::string_view(line).substr(0, equals)))
            *field = line.substr(equals + 1);
    }
    return guest;
}
