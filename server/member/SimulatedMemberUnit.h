#pragma once

#include "member/BaseMemberUnit.h"

#include <filesystem>
#include <mutex>
#include <string>

// A member-card device without hardware, for integrators. Its card lives in member-card.txt in
// the given folder, one Key=value a line; a file member-result holding 0 makes reads and writes
// fail. Both files are read again at every call, so a test or an operator can change them while
// the program runs.
class TSimulatedMember : public TBaseMember {
public:
    explicit TSimulatedMember(std::string folder);

    void ShowOptionDialog() override;
    void OpenPort() override;
    void ClosePort() override;
    void Beep() override;
    // Stores CardNo, SecondValue, ThirdValue, FourthValue and Channel, keeping the other lines.
    bool WriteCard(std::string CardNo, std::string SecondValue, std::string ThirdValue,
                   std::string FourthValue, int Channel) override;
    // Fills the outputs from the CardNo, Password, ExpireDate, GuestName and Score lines; false
    // when there is no card file. The texts stay valid until the same thread reads again.
    bool ReadCard(bool Flag, const char*& CardNo, const char*& Password, const char*& ExpireDate,
                  const char*& GuestName, const char*& Score, int Channel) override;

    std::filesystem::path CardFile() const { return Folder_ / "member-card.txt"; }
    std::filesystem::path ResultFile() const { return Folder_ / "member-result"; }

private:
    bool ForcedFailure() const;

    std::filesystem::path Folder_;
    // One card on one device: reads and writes from several threads take turns.
    std::mutex Lock_;
};
