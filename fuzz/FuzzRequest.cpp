// Raw request bytes as they come off the socket, through the UTF-8 check and the handler of
// each interface mode, with fake devices and a store in a temp folder. The first byte picks the
// mode and the door-lock settings; the rest is the request.
#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockMessageHandlerUnit.h"
#include "doorlock/DoorlockRecordManagerUnit.h"
#include "doorlock/HalvaneUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/MemberMessageHandlerUnit.h"
#include "police/BasePoliceUnit.h"
#include "police/PoliceMessageHandlerUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/SysOptionUnit.h"
#include "shell/Utf8Unit.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

class TFakeConnection final : public TConnection {
public:
    void Write(std::string_view bytes) override {
        // Every answer is one text and one NUL, and valid UTF-8 before it.
        if (bytes.empty() || bytes.back() != '\0' ||
            !IsValidUtf8(bytes.substr(0, bytes.size() - 1)))
            std::abort();
    }
};

class TFakeDoorlock final : public TBaseDoorlock {
public:
    bool IssueCard(std::string, std::string BuildingCode, std::string, std::string, std::string,
                   TDateTime StartTime, TDateTime, TDateTime, TDateTime, bool,
                   int64_t& CardNo) override {
        CardNo = StartTime.Decode().Year * 1000LL + static_cast<int64_t>(BuildingCode.size());
        return true;
    }
    bool ReadCard(int64_t& CardNo) override {
        CardNo = 2008050614001;
        return true;
    }
    bool EraseCard() override { return true; }
};

class TFakeMember final : public TBaseMember {
public:
    void ShowOptionDialog() override {}
    void OpenPort() override {}
    void ClosePort() override {}
    void Beep() override {}
    bool WriteCard(std::string, std::string, std::string, std::string, int Channel) override {
        return Channel != 0;
    }
    bool ReadCard(bool Flag, const char*& CardNo, const char*& Password, const char*& ExpireDate,
                  const char*& GuestName, const char*& Score, int) override {
        if (!Flag)
            return false;
        CardNo = "M0001";
        Password = "<&>";
        ExpireDate = "2030-01-01";
        GuestName = "张三";
        Score = "12";
        return true;
    }
};

class TFakePolice final : public TBasePolice {
public:
    void ShowOptionDialog() override {}
    std::optional<TGuest> GetGuest() override {
        TGuest guest;
        guest.RoomNo = "0101";
        guest.Name = "李四 <&>";
        guest.GenderID = "1";
        return guest;
    }
};

struct TWorld {
    std::string Folder;
    TLogFile Log{"/dev/null"};
    TSysOption Options{""};
    TDoorlockRecordManager Store;
    TFakeDoorlock Doorlock;
    THalvane Encoder; // the real adapter over the encoder stand-in
    TFakeMember Member;
    TFakePolice Police;

    TWorld() {
        // A folder in memory when there is one: the store commits on every issue.
        const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "halvane-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        Folder = pattern;
        ::setenv("TARNEL_SIM_DIR", Folder.c_str(), 1);
        Store.Open(Folder + "/Client.db");
        LogFile = &Log;
        SysOption = &Options;
        DoorlockRecordManager = &Store;
        ::Doorlock = &Doorlock;
        MemberCard = &Member;
        ::Police = &Police;
    }
    ~TWorld() {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
};

TWorld& World() {
    static TWorld world;
    return world;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TWorld& world = World();
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    world.Options.UseNativeDoorlockDb = (selector & 0x10) != 0;
    world.Options.SaveDoorlockRecord = (selector & 0x20) != 0;
    world.Options.DelayMinutes = (selector & 0x40) ? -100000000 : 10;
    world.Options.DelayMinutes2 = (selector & 0x80) ? 100000000 : 30;
    ::Doorlock = (selector & 0x08) ? static_cast<TBaseDoorlock*>(&world.Encoder) : &world.Doorlock;
    const std::string text =
        DecodeRequestText(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    TFakeConnection connection;
    try {
        switch (selector % 3) {
        case 0:
            TDoorlockMessageHandler().HandleMessage(connection, text);
            break;
        case 1:
            TMemberMessageHandler().HandleMessage(connection, text);
            break;
        default:
            TPoliceMessageHandler().HandleMessage(connection, text);
            break;
        }
    } catch (const std::exception&) {
        // A malformed request ends its connection without an answer; the listener does the same.
    }
    return 0;
}
