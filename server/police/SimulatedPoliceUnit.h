#pragma once

#include "police/BasePoliceUnit.h"

#include <filesystem>
#include <string>

// A police device without hardware, for integrators. Its guest lives in police-guest.txt in the
// given folder, one Field=value a line with the field names of TGuest; the file is read again at
// every call, so a test or an operator can change the guest while the program runs.
class TSimulatedPolice : public TBasePolice {
public:
    explicit TSimulatedPolice(std::string folder);

    void ShowOptionDialog() override;
    // The guest of the file, fields it does not name left empty; none when there is no file.
    std::optional<TGuest> GetGuest() override;

    std::filesystem::path GuestFile() const { return Folder_ / "police-guest.txt"; }

private:
    std::filesystem::path Folder_;
};
