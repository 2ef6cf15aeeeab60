#pragma once

#include <optional>
#include <string>

// The guest registration record a police device hands out, fields in the device's own formats.
struct TGuest {
    std::string RoomNo;
    std::string EnterTime;
    std::string IdCardTypeID;
    std::string IdCardNo;
    std::string Name;
    std::string Nationality;
    std::string GenderID;
    std::string SalutationID;
    std::string CountryCode;
    std::string ProvinceCode;
    std::string Address;
    std::string Birthday;
};

// A police registration device as the interface sees it. The operations keep this declaration
// order: installations supply device classes against it.
class TBasePolice {
public:
    virtual void ShowOptionDialog() = 0;
    // The device's current guest, or none. A copy, so that the caller may render it while the
    // device moves on to the next guest on another thread.
    virtual std::optional<TGuest> GetGuest() = 0;

    // Declared last so that the operations above come first in the table of virtual functions.
    virtual ~TBasePolice() = default;
};

// The installed police device, or null; set and freed by the program entry.
extern TBasePolice* Police;
