#pragma once

#include "member/BaseMemberUnit.h"
#include "member/MemberMessageHandlerUnit.h"
#include "member/SimulatedMemberUnit.h"
#include "shell/LogFileUnit.h"
#include "support/LoopbackClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// The member-card interface as a PMS client meets it: the real listener on a free loopback port,
// the member handler, the simulated device on a temp folder and a log file there.
class MemberInterface : public testing::Test {
protected:
    void SetUp() override {
        Log = std::make_unique<TLogFile>(Dir.File("test.LOG"));
        LogFile = Log.get();
        Device = std::make_unique<TSimulatedMember>(Dir.Path().string());
        MemberCard = Device.get();
        Listener = std::make_unique<TRequestListener>(
            [] { return std::make_unique<TMemberMessageHandler>(); });
        Listener->Start(0);
    }
    void TearDown() override {
        Listener.reset();
        MemberCard = nullptr;
        LogFile = nullptr;
    }

    // The request with its NUL; everything the server sends before it closes.
    std::string Exchange(const std::string& request) {
        return TLoopbackClient::Exchange(Listener->Port(), request + '\0');
    }
    std::string LogText() const { return ReadFile(Dir.File("test.LOG")); }
    std::string CardFile() const { return ReadFile(Dir.File("member-card.txt")); }

    TTempDir Dir;
    std::unique_ptr<TLogFile> Log;
    std::unique_ptr<TSimulatedMember> Device;
    std::unique_ptr<TRequestListener> Listener;
};

inline std::string MemberAnswer(const std::string& code, const std::string& message,
                                const std::string& cardNo, const std::string& expireDate = "",
                                const std::string& guestName = "", const std::string& score = "",
                                const std::string& password = "") {
    return "<DoorResponse><RequestID></RequestID><ResultCode>" + code + "</ResultCode>" +
           "<ResultMessage>" + message + "</ResultMessage><CardNo>" + cardNo + "</CardNo>" +
           "<ExpireDate>" + expireDate + "</ExpireDate><GuestName>" + guestName +
           "</GuestName><Score>" + score + "</Score><Password>" + password +
           "</Password></DoorResponse>" + std::string(1, '\0');
}

inline std::string WriteRequest(const std::string& cardNo, const std::string& extra = "") {
    return "<Request type=\"WriteMemberCard\"><RegisterID>R1</RegisterID><CardNo>" + cardNo +
           "</CardNo><V2>second</V2><V3>third</V3><V4>fourth</V4>" + extra + "</Request>";
}

inline std::string ReadRequest(const std::string& flag, const std::string& extra = "") {
    return "<Request type=\"ReadMemberCard\"><RegisterID/><Flag>" + flag + "</Flag>" + extra +
           "</Request>";
}
