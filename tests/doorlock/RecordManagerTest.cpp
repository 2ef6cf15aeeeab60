// The record store on a real Client.db.
#include "DoorlockFixture.h"

namespace {

TDateTime At(const char* text) {
    return *TDateTime::Parse(text);
}

using RecordManagerTest = TDoorlockFixture;

TEST_F(RecordManagerTest, OpenCreatesTheTablesInWalMode) {
    EXPECT_TRUE(Store->IsOpen());
    EXPECT_EQ(Rows("pragma journal_mode"), std::vector<std::string>{"wal"});
    EXPECT_EQ(Rows("select name from sqlite_master where type='table' order by name"),
              (std::vector<std::string>{"T_IssueCardRecord", "T_Room"}));
    EXPECT_EQ(Rows("select group_concat(name, ',') from pragma_table_info('T_IssueCardRecord')"),
              std::vector<std::string>{"RegisterId,CardNo,RoomNo,CardType,LastCheckInTime,"
                                       "CheckInTime,CheckOutTime,IsCopy,GuestName,OpratingTime"});
}

TEST_F(RecordManagerTest, UnknownRoomHasNoTimeAndLogsNothing) {
    EXPECT_TRUE(Store->GetLastCheckInTime("000101").IsZero());
    EXPECT_EQ(LogText(), "");
}

TEST_F(RecordManagerTest, SetAddsAMissingRoomOnceThenOnlyUpdates) {
    Store->SetLastCheckInTime("000101", At("2008-05-06 14:35:10"));
    Store->SetLastCheckInTime("000101", At("2008-05-07 09:00:00"));
    EXPECT_EQ(Store->GetLastCheckInTime("000101"), At("2008-05-07 09:00:00"));
    EXPECT_EQ(Rows("select RoomNo, LastCheckInTime from T_Room"),
              std::vector<std::string>{"000101|2008-05-07 09:00:00"});
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"新建房间000101"});
}

// Room texts are bound, never spliced into SQL: quotes and SQL fragments are just text.
TEST_F(RecordManagerTest, RoomTextWithQuotesIsStoredAsIs) {
    const std::string room = "0'1\"; drop table T_Room; --";
    Store->AddRoom(room, At("2008-05-06 14:35:00"));
    EXPECT_EQ(Store->GetLastCheckInTime(room), At("2008-05-06 14:35:00"));
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"新建房间" + room});
    EXPECT_EQ(Rows("select count(*) from T_Room"), std::vector<std::string>{"1"});
}

TEST_F(RecordManagerTest, IssueRecordKeepsEveryColumnAndEmptyTimesAsNull) {
    Store->AddIssueCardRecord("R1", "2008050614011", "000101", 1, At("2008-05-06 14:35:00"),
                              At("2008-05-06 14:00:00"), At("2008-05-08 12:00:00"), true, "张三",
                              At("2008-05-06 14:36:01"));
    Store->AddIssueCardRecord("", "0", "000102", 1, At("2008-05-06 14:35:00"), TDateTime(),
                              At("2008-05-08 12:00:00"), false, "Test", At("2008-05-06 14:37:00"));
    EXPECT_EQ(Rows("select * from T_IssueCardRecord order by rowid"),
              (std::vector<std::string>{
                  "R1|2008050614011|000101|1|2008-05-06 14:35:00|2008-05-06 14:00:00|"
                  "2008-05-08 12:00:00|1|张三|2008-05-06 14:36:01",
                  "|0|000102|1|2008-05-06 14:35:00|NULL|2008-05-08 12:00:00|0|Test|"
                  "2008-05-06 14:37:00"}));
    EXPECT_EQ(LogText(), ""); // nothing is logged on success
}

// Errors are caught and their message text logged alone.
TEST_F(RecordManagerTest, ErrorsAreLoggedAloneAndAbsorbed) {
    Store->AddRoom("000101", At("2008-05-06 14:35:00"));
    Store->AddRoom("000101", At("2008-05-07 14:35:00"));
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"新建房间000101",
                                                       "UNIQUE constraint failed: T_Room.RoomNo"}));
    EXPECT_EQ(Store->GetLastCheckInTime("000101"), At("2008-05-06 14:35:00"));
}

TEST_F(RecordManagerTest, UnreadableStoredTimeCountsAsNoTime) {
    Store->AddRoom("000101", At("2008-05-06 14:35:00"));
    sqlite3* db = nullptr;
    sqlite3_open(Dir.File("Client.db").c_str(), &db);
    sqlite3_exec(db, "update T_Room set LastCheckInTime='later'", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_TRUE(Store->GetLastCheckInTime("000101").IsZero());
    EXPECT_EQ(LogMessages().back(), "'later' is not a valid date and time");
}

TEST_F(RecordManagerTest, RecordsSurviveReopening) {
    Store->SetLastCheckInTime("000101", At("2008-05-06 14:35:00"));
    TDoorlockRecordManager again;
    again.Open(Dir.File("Client.db"));
    EXPECT_EQ(again.GetLastCheckInTime("000101"), At("2008-05-06 14:35:00"));
}

TEST_F(RecordManagerTest, FailedOpenThrowsTheMessageAndLeavesAStoreThatOnlyLogs) {
    TDoorlockRecordManager store;
    try {
        store.Open(Dir.File("no-such-folder/Client.db"));
        FAIL() << "Open succeeded";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "unable to open database file");
    }
    EXPECT_FALSE(store.IsOpen());
    EXPECT_TRUE(store.GetLastCheckInTime("000101").IsZero());
    store.SetLastCheckInTime("000101", At("2008-05-06 14:35:00"));
    store.AddIssueCardRecord("", "0", "000101", 1, TDateTime(), TDateTime(), TDateTime(), false, "",
                             TDateTime());
    EXPECT_EQ(LogMessages(), std::vector<std::string>(3, "数据库未打开"));
}

TEST_F(RecordManagerTest, AFileThatIsNoDatabaseFailsToOpen) {
    WriteFile(Dir.File("Broken.db"), std::string(4096, 'x'));
    TDoorlockRecordManager store;
    EXPECT_THROW(store.Open(Dir.File("Broken.db")), std::runtime_error);
    EXPECT_FALSE(store.IsOpen());
}

} // namespace
