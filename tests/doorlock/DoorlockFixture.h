#pragma once

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockMessageHandlerUnit.h"
#include "doorlock/DoorlockRecordManagerUnit.h"
#include "doorlock/HalvaneUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/RequestListenerUnit.h"
#include "shell/SysOptionUnit.h"
#include "support/LoopbackClient.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The door-lock interface as the program runs it, in a fresh folder per test: the log, the
// settings, Client.db, the encoder stand-in and a listener on a free loopback port.
class TDoorlockFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TARNEL_SIM_DIR", Dir.Path().c_str(), 1);
        Log = std::make_unique<TLogFile>(Dir.File("test.LOG"));
        Options = std::make_unique<TSysOption>(Dir.File("Option.ini"));
        Store = std::make_unique<TDoorlockRecordManager>();
        Store->Open(Dir.File("Client.db"));
        Device = std::make_unique<THalvane>();
        LogFile = Log.get();
        SysOption = Options.get();
        DoorlockRecordManager = Store.get();
        Doorlock = Device.get();
    }

    void TearDown() override {
        Listener.reset(); // joins every connection thread before the objects go
        Doorlock = nullptr;
        DoorlockRecordManager = nullptr;
        SysOption = nullptr;
        LogFile = nullptr;
        ::unsetenv("TARNEL_SIM_DIR");
    }

    uint16_t Port() {
        if (!Listener) {
            Listener = std::make_unique<TRequestListener>(
                [] { return std::make_unique<TDoorlockMessageHandler>(); });
            Listener->Start(0);
        }
        return Listener->Port();
    }

    // Sends one request with its NUL and returns everything the server answered.
    std::string Exchange(const std::string& request) {
        return TLoopbackClient::Exchange(Port(), request + std::string(1, '\0'));
    }

    std::string LogText() const { return ReadFile(Dir.File("test.LOG")); }
    std::string Journal() const { return ReadFile(Dir.File("tarnel-calls.log")); }
    std::string Card() const { return ReadFile(Dir.File("tarnel-card.txt")); }
    void ForceResult(int code) { WriteFile(Dir.File("tarnel-result"), std::to_string(code)); }

    // The log's messages without their time stamps; a message may span lines.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> messages;
        const std::string text = LogText();
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find("\r\n", pos);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(pos, end - pos);
            // "yyyy-mm-dd hh:nn:ss " opens an entry; anything else continues the one before.
            if (line.size() >= 20 && line[4] == '-' && line[13] == ':' && line[19] == ' ')
                messages.push_back(line.substr(20));
            else if (!messages.empty())
                messages.back() += "\r\n" + line;
            pos = end + 2;
        }
        return messages;
    }

    // Rows of a query on Client.db, each column as text ("NULL" for NULL), joined by '|'.
    std::vector<std::string> Rows(const std::string& sql) const {
        std::vector<std::string> rows = Query(Dir.File("Client.db"), sql);
        if (!rows.empty() && rows.back().starts_with("error: "))
            ADD_FAILURE() << rows.back();
        return rows;
    }

    TTempDir Dir;
    std::unique_ptr<TLogFile> Log;
    std::unique_ptr<TSysOption> Options;
    std::unique_ptr<TDoorlockRecordManager> Store;
    std::unique_ptr<THalvane> Device;
    std::unique_ptr<TRequestListener> Listener;
};

// An IssueCard request with its eleven fields in order.
struct TIssueFields {
    std::string RegisterId = "R001";
    std::string Building = "00";
    std::string Floor = "01";
    std::string Room = "01";
    std::string Guest = "张三";
    std::string InDate = "2008-05-06";
    std::string InTime = "14:35:00";
    std::string OutDate = "2008-05-08";
    std::string OutTime = "12:00:00";
    std::string IsCopy = "0";

    std::string Xml(const std::string& type = "IssueCard") const {
        return "<DoorRequest type=\"" + type + "\"><RequestID>X1</RequestID><RegisterId>" +
               RegisterId + "</RegisterId><BuildingCode>" + Building +
               "</BuildingCode><FloorCode>" + Floor + "</FloorCode><RoomCode>" + Room +
               "</RoomCode><GuestName>" + Guest + "</GuestName><CheckInDate>" + InDate +
               "</CheckInDate><CheckInTime>" + InTime + "</CheckInTime><CheckOutDate>" + OutDate +
               "</CheckOutDate><CheckOutTime>" + OutTime + "</CheckOutTime><IsCopy>" + IsCopy +
               "</IsCopy></DoorRequest>";
    }
};

inline std::string Answer(const std::string& code, const std::string& message,
                          const std::string& cardNo) {
    return "<DoorResponse><RequestID></RequestID><ResultCode>" + code +
           "</ResultCode><ResultMessage>" + message + "</ResultMessage><CardNo>" + cardNo +
           "</CardNo></DoorResponse>" + std::string(1, '\0');
}
