#include "DoorlockRecordManagerUnit.h"

#include "shell/LogFileUnit.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

TDoorlockRecordManager* DoorlockRecordManager = nullptr;

namespace {

constexpr const char* Schema =
    "create table if not exists T_Room(RoomNo TEXT PRIMARY KEY, LastCheckInTime TEXT);"
    "create table if not exists T_IssueCardRecord(RegisterId TEXT, CardNo TEXT, RoomNo TEXT,"
    " CardType INTEGER, LastCheckInTime TEXT, CheckInTime TEXT, CheckOutTime TEXT,"
    " IsCopy INTEGER, GuestName TEXT, OpratingTime TEXT);";

class TDbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw TDbError(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

void BindText(sqlite3* db, sqlite3_stmt* s, const char* name, const std::string& value) {
    Check(db, sqlite3_bind_text(s, sqlite3_bind_parameter_index(s, name), value.data(),
                                static_cast<int>(value.size()), SQLITE_TRANSIENT));
}

// Local time text; the zero time is "no time" and is kept as NULL.
void BindTime(sqlite3* db, sqlite3_stmt* s, const char* name, TDateTime value) {
    const int index = sqlite3_bind_parameter_index(s, name);
    if (value.IsZero())
        Check(db, sqlite3_bind_null(s, index));
    else
        BindText(db, s, name, value.Format());
}

void BindInt(sqlite3* db, sqlite3_stmt* s, const char* name, int value) {
    Check(db, sqlite3_bind_int(s, sqlite3_bind_parameter_index(s, name), value));
}

// Leaves a reused statement ready for the next call whatever happened.
class TStatementUse {
public:
    explicit TStatementUse(sqlite3_stmt* s) : S_(s) {}
    ~TStatementUse() {
        sqlite3_reset(S_);
        sqlite3_clear_bindings(S_);
    }
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;

private:
    sqlite3_stmt* S_;
};

const char* NotOpenText = "数据库未打开";

} // namespace

TDoorlockRecordManager::~TDoorlockRecordManager() {
    Close();
}

void TDoorlockRecordManager::Close() {
    for (sqlite3_stmt** s : {&SelectRoom_, &UpdateRoom_, &InsertRoom_, &InsertRecord_}) {
        sqlite3_finalize(*s);
        *s = nullptr;
    }
    if (Connection_)
        sqlite3_close_v2(Connection_);
    Connection_ = nullptr;
    if (WalFd_ >= 0)
        ::close(WalFd_);
    WalFd_ = -1;
}

void TDoorlockRecordManager::Open(const std::string& dbFileName) {
    std::lock_guard guard(Lock_);
    Close();
    DbFileName_ = dbFileName;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        dbFileName.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        throw std::runtime_error(message);
    }
    Connection_ = db;
    try {
        // Another program (or a second server by mistake) may hold the file for a moment.
        Check(db, sqlite3_busy_timeout(db, 5000));
        Check(db, sqlite3_exec(db, "pragma journal_mode=WAL", nullptr, nullptr, nullptr));
        Check(db, sqlite3_exec(db, Schema, nullptr, nullptr, nullptr));
        // Committed frames reach the disk through WaitDurable() rather than one flush per
        // commit. The log file exists once the schema statement has run, and stays while this
        // connection is open. Without it, commits keep flushing themselves.
        WalFd_ = ::open((dbFileName + "-wal").c_str(), O_RDWR | O_CLOEXEC);
        if (WalFd_ >= 0)
            Check(db, sqlite3_exec(db, "pragma synchronous=NORMAL", nullptr, nullptr, nullptr));
    } catch (const std::exception&) {
        Close();
        throw;
    }
}

void TDoorlockRecordManager::WaitDurable() {
    int fd;
    {
        std::lock_guard guard(Lock_);
        fd = WalFd_;
        if (fd < 0)
            return;
        // Held across the flush would serialise every caller again; a duplicate keeps the file
        // open even if the store closes meanwhile.
        fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    }
    if (fd < 0)
        return;
    if (::fdatasync(fd) != 0)
        WriteLog(std::string("Client.db: ") + std::strerror(errno));
    ::close(fd);
}

bool TDoorlockRecordManager::IsOpen() const {
    return Connection_ != nullptr;
}

sqlite3_stmt* TDoorlockRecordManager::Statement(sqlite3_stmt*& slot, const char* sql) {
    if (!Connection_)
        throw TDbError(NotOpenText);
    if (!slot)
        Check(Connection_, sqlite3_prepare_v2(Connection_, sql, -1, &slot, nullptr));
    return slot;
}

TDateTime TDoorlockRecordManager::GetLastCheckInTime(const std::string& RoomNo) {
    std::lock_guard guard(Lock_);
    try {
        sqlite3_stmt* s =
            Statement(SelectRoom_, "select LastCheckInTime from T_Room where RoomNo=:RoomNo");
        TStatementUse use(s);
        BindText(Connection_, s, ":RoomNo", RoomNo);
        const int rc = sqlite3_step(s);
        Check(Connection_, rc);
        if (rc != SQLITE_ROW || sqlite3_column_type(s, 0) == SQLITE_NULL)
            return {};
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        const std::string value = text ? text : "";
        if (value.empty())
            return {};
        if (auto time = TDateTime::Parse(value))
            return *time;
        throw TDbError("'" + value + "' is not a valid date and time");
    } catch (const std::exception& e) {
        WriteLog(e.what());
        return {};
    }
}

void TDoorlockRecordManager::SetLastCheckInTime(const std::string& RoomNo, TDateTime Time) {
    std::lock_guard guard(Lock_);
    try {
        sqlite3_stmt* s = Statement(
            UpdateRoom_, "update T_Room set LastCheckInTime=:LastCheckInTime where RoomNo=:RoomNo");
        int changed = 0;
        {
            TStatementUse use(s);
            BindTime(Connection_, s, ":LastCheckInTime", Time);
            BindText(Connection_, s, ":RoomNo", RoomNo);
            Check(Connection_, sqlite3_step(s));
            changed = sqlite3_changes(Connection_);
        }
        if (changed == 0)
            AddRoomLocked(RoomNo, Time);
    } catch (const std::exception& e) {
        WriteLog(e.what());
    }
}

void TDoorlockRecordManager::AddRoom(const std::string& RoomNo, TDateTime Time) {
    std::lock_guard guard(Lock_);
    AddRoomLocked(RoomNo, Time);
}

void TDoorlockRecordManager::AddRoomLocked(const std::string& RoomNo, TDateTime Time) {
    try {
        sqlite3_stmt* s = Statement(
            InsertRoom_,
            "insert into T_Room(RoomNo, LastCheckInTime) Values(:RoomNo, :LastCheckInTime)");
        {
            TStatementUse use(s);
            BindText(Connection_, s, ":RoomNo", RoomNo);
            BindTime(Connection_, s, ":LastCheckInTime", Time);
            Check(Connection_, sqlite3_step(s));
        }
        WriteLog("新建房间" + RoomNo);
    } catch (const std::exception& e) {
        WriteLog(e.what());
    }
}

void TDoorlockRecordManager::AddIssueCardRecord(
    const std::string& RegisterId, const std::string& CardNo, const std::string& RoomNo,
    int CardType, TDateTime LastCheckInTime, TDateTime CheckInTime, TDateTime CheckOutTime,
    bool IsCopy, const std::string& GuestName, TDateTime OpratingTime) {
    std::lock_guard guard(Lock_);
    try {
        sqlite3_stmt* s = Statement(
            InsertRecord_,
            "insert into T_IssueCardRecord(RegisterId, CardNo, RoomNo, CardType, "
            "LastCheckInTime, CheckInTime, CheckOutTime, IsCopy, GuestName, OpratingTime)\n"
            " Values(:RegisterId, :CardNo, :RoomNo, :CardType, :LastCheckInTime, :CheckInTime, "
            ":CheckOutTime, :IsCopy, :GuestName, :OpratingTime)");
        TStatementUse use(s);
        BindText(Connection_, s, ":RegisterId", RegisterId);
        BindText(Connection_, s, ":CardNo", CardNo);
        BindText(Connection_, s, ":RoomNo", RoomNo);
        BindInt(Connection_, s, ":CardType", CardType);
        BindTime(Connection_, s, ":LastCheckInTime", LastCheckInTime);
        BindTime(Connection_, s, ":CheckInTime", CheckInTime);
        BindTime(Connection_, s, ":CheckOutTime", CheckOutTime);
        BindInt(Connection_, s, ":IsCopy", IsCopy ? 1 : 0);
        BindText(Connection_, s, ":GuestName", GuestName);
        BindTime(Connection_, s, ":OpratingTime", OpratingTime);
        Check(Connection_, sqlite3_step(s));
    } catch (const std::exception& e) {
        WriteLog(e.what());
    }
}
