#pragma once

#include "shell/DateTimeUnit.h"

#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The server's own record of key cards in Client.db: per room the start of the current stay
// (T_Room), and one row per issue attempt (T_IssueCardRecord). Every operation catches its own
// errors and logs their message text alone; callers never learn of a failure.
class TDoorlockRecordManager {
public:
    TDoorlockRecordManager() = default;
    ~TDoorlockRecordManager();
    TDoorlockRecordManager(const TDoorlockRecordManager&) = delete;
    TDoorlockRecordManager& operator=(const TDoorlockRecordManager&) = delete;

    // Opens (creating when missing) the database and its two tables in WAL mode. Throws
    // std::runtime_error with the database's message text on failure; the store stays closed.
    void Open(const std::string& dbFileName);
    bool IsOpen() const;
    const std::string& DbFileName() const { return DbFileName_; }

    // The room's stored start of stay; the zero time when it has none or on any error.
    TDateTime GetLastCheckInTime(const std::string& RoomNo);
    // Updates the room's start of stay, adding the room when it has no row.
    void SetLastCheckInTime(const std::string& RoomNo, TDateTime Time);
    void AddRoom(const std::string& RoomNo, TDateTime Time);
    // Returns once everything committed so far is on disk. Commits themselves do not wait for
    // the disk, so that concurrent issues share one flush instead of queueing for one each
    // under the door-lock lock; call this after leaving that lock and before answering.
    void WaitDurable();
    void AddIssueCardRecord(const std::string& RegisterId, const std::string& CardNo,
                            const std::string& RoomNo, int CardType, TDateTime LastCheckInTime,
                            TDateTime CheckInTime, TDateTime CheckOutTime, bool IsCopy,
                            const std::string& GuestName, TDateTime OpratingTime);

private:
    void Close();
    sqlite3_stmt* Statement(sqlite3_stmt*& slot, const char* sql);
    void AddRoomLocked(const std::string& RoomNo, TDateTime Time);

    std::string DbFileName_;
    sqlite3* Connection_ = nullptr;
    // The write-ahead log, held open to flush it; -1 when commits flush by themselves.
    int WalFd_ = -1;
    // Prepared once, reused by every call.
    sqlite3_stmt* SelectRoom_ = nullptr;
    sqlite3_stmt* UpdateRoom_ = nullptr;
    sqlite3_stmt* InsertRoom_ = nullptr;
    sqlite3_stmt* InsertRecord_ = nullptr;
    // Guards the one connection and its statements. Callers that need several operations as one
    // step hold LockDoorlockOperations() around them as well.
    std::mutex Lock_;
};

// The program-wide store; null until start-up creates it.
extern TDoorlockRecordManager* DoorlockRecordManager;
