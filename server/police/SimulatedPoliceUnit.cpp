#include "SimulatedPoliceUnit.h"

#include "shell/KeyValueFileUnit.h"
#include "shell/LogFileUnit.h"

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
    const std::optional<TKeyValues> entries = ReadKeyValueFile(GuestFile());
    if (!entries)
        return std::nullopt;
    TGuest guest;
    for (const auto& [name, value] : *entries)
        if (std::string* field = Field(guest, name))
            *field = value;
    return guest;
}
