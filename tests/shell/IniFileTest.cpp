#include "shell/IniFileUnit.h"
#include "shell/SysOptionUnit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TSysOption LoadFrom(const TTempDir& dir, const std::string& text) {
    WriteFile(dir.File("Option.ini"), text);
    TSysOption options(dir.File("Option.ini"));
    options.Load();
    return options;
}

} // namespace

TEST(SysOption, MissingFileGivesEveryDefaultAndCreatesNothing) {
    TTempDir dir;
    TSysOption options(dir.File("Option.ini"));
    options.Load();
    EXPECT_EQ(options.DoorlockPortNo, 8886);
    EXPECT_EQ(options.PolicePortNo, 8885);
    EXPECT_EQ(options.MemberPortNo, 8883);
    EXPECT_EQ(options.ScanPortNo, 8881);
    EXPECT_EQ(options.Password, "wexoti");
    EXPECT_EQ(options.DelayMinutes, 0);
    EXPECT_EQ(options.DelayMinutes2, 0);
    EXPECT_FALSE(options.UseNativeDoorlockDb);
    EXPECT_FALSE(options.SaveDoorlockRecord);
    EXPECT_EQ(options.ReadTimeoutSeconds, 30);
    EXPECT_EQ(options.MaxConnections, 64);
    EXPECT_FALSE(std::filesystem::exists(dir.File("Option.ini")));
}

TEST(SysOption, IntegerForms) {
    struct {
        const char* Value;
        int Expected;
    } cases[] = {
        {"8886", 8886},
        {"0x22B6", 8886},
        {"0X22b6", 8886},
        {"$22B6", 8886},
        {"+8886", 8886},
        {"-5", -5},
        {" 8887 ", 8887},
        {"\"8888\"", 8888},
        {"abc", 8886},
        {"", 8886},
        {"0x", 8886},
        {"$", 8886},
        {"12abc", 8886},
        {"1.5", 8886},
        {"99999999999", 8886},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$FFFFFFFF", -1},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        auto options = LoadFrom(dir, std::string("[SysOption]\nDoorlockPortNo=") + c.Value + "\n");
        EXPECT_EQ(options.DoorlockPortNo, c.Expected);
    }
}

TEST(SysOption, BooleansAreReadAsIntegers) {
    struct {
        const char* Value;
        bool Expected;
    } cases[] = {{"1", true},  {"2", true},    {"-1", true},    {"0x10", true},
                 {"0", false}, {"yes", false}, {"true", false}, {"", false}};
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        auto options =
            LoadFrom(dir, std::string("[DoorlockOption]\nUseNativeDoorlockDb=") + c.Value + "\n");
        EXPECT_EQ(options.UseNativeDoorlockDb, c.Expected);
    }
}

TEST(SysOption, SectionsAndKeysIgnoreCaseAndTheFirstMatchWins) {
    TTempDir dir;
    auto options = LoadFrom(dir, "; settings\r\n[sysoption]\r\nDOORLOCKPORTNO = 9001\r\n"
                                 "doorlockportno=9002\r\n[DOORLOCKOPTION]\r\ndelayminutes=-15\r\n"
                                 "[SysOption]\r\nPolicePortNo=9003\r\n");
    EXPECT_EQ(options.DoorlockPortNo, 9001);
    EXPECT_EQ(options.DelayMinutes, -15);
    EXPECT_EQ(options.PolicePortNo, 8885); // a second section of the same name is not read
}

TEST(SysOption, StringsEmptyPresentLongAndUtf8) {
    TTempDir dir;
    EXPECT_EQ(LoadFrom(dir, "[SysOption]\nPassword=\n").Password, "");
    EXPECT_EQ(LoadFrom(dir, "[SysOption]\nPassword = 管理员 \n").Password, "管理员");
    EXPECT_EQ(LoadFrom(dir, "[SysOption]\nPassword=a=b\n").Password, "a=b");
    const std::string longValue(3000, 'x');
    EXPECT_EQ(LoadFrom(dir, "[SysOption]\nPassword=" + longValue + "\n").Password,
              std::string(2047, 'x'));
    // A cut never splits a character: 2046 ASCII bytes then a three-byte character.
    EXPECT_EQ(LoadFrom(dir, "[SysOption]\nPassword=" + std::string(2046, 'y') + "密\n").Password,
              std::string(2046, 'y'));
}

TEST(SysOption, GarbageFileGivesDefaults) {
    TTempDir dir;
    auto options = LoadFrom(dir, std::string("\x01\x02garbage\0\xFF[[[=\n=8887\n", 20));
    EXPECT_EQ(options.DoorlockPortNo, 8886);
    EXPECT_EQ(options.Password, "wexoti");
}

TEST(SysOption, SaveWritesEveryKeyWithMemoryValuesAndLeavesForeignLinesAlone) {
    TTempDir dir;
    const std::string original = "; hotel settings\n[SysOption]\nDoorlockPortNo=0x22B7\n"
                                 "PolicePortNo=7001\nMemberPortNo=7002\nCustomKey=keep me\n"
                                 "MaxConnections=5\n\n[Other]\nx=1\n";
    auto options = LoadFrom(dir, original);
    options.Password = "新密码";
    options.Save();

    const std::string saved = ReadFile(dir.File("Option.ini"));
    EXPECT_NE(saved.find("; hotel settings\n"), std::string::npos);
    EXPECT_NE(saved.find("CustomKey=keep me\n"), std::string::npos);
    EXPECT_NE(saved.find("MaxConnections=5\n"), std::string::npos);
    EXPECT_NE(saved.find("[Other]\nx=1\n"), std::string::npos);
    EXPECT_NE(saved.find("DoorlockPortNo=8887\n"), std::string::npos);
    EXPECT_NE(saved.find("Password=新密码\n"), std::string::npos);
    EXPECT_NE(saved.find("[DoorlockOption]\n"), std::string::npos);

    TSysOption reloaded(dir.File("Option.ini"));
    reloaded.Load();
    EXPECT_EQ(reloaded.Password, "新密码");
    EXPECT_EQ(reloaded.DoorlockPortNo, 8887);
    EXPECT_EQ(reloaded.PolicePortNo, 7001);
    EXPECT_EQ(reloaded.MemberPortNo, 7002);
    EXPECT_EQ(reloaded.ScanPortNo, 8881);
    EXPECT_EQ(reloaded.MaxConnections, 5);
}

TEST(SysOption, SaveCreatesAMissingFileWithAllNineKeys) {
    TTempDir dir;
    TSysOption options(dir.File("Option.ini"));
    options.Load();
    options.Save();
    const std::string saved = ReadFile(dir.File("Option.ini"));
    for (const char* key : {"Password=wexoti", "DoorlockPortNo=8886", "PolicePortNo=8885",
                            "MemberPortNo=8883", "ScanPortNo=8881", "DelayMinutes=0",
                            "DelayMinutes2=0", "UseNativeDoorlockDb=0", "SaveDoorlockRecord=0"})
        EXPECT_NE(saved.find(key), std::string::npos) << key;
    EXPECT_EQ(saved.find("ReadTimeoutSeconds"), std::string::npos);
    EXPECT_EQ(saved.find("MaxConnections"), std::string::npos);
}

TEST(SysOption, SaveKeepsTheFileLineEndings) {
    TTempDir dir;
    auto options = LoadFrom(dir, "[SysOption]\r\nPassword=old\r\n");
    options.Password = "new";
    options.Save();
    const std::string saved = ReadFile(dir.File("Option.ini"));
    EXPECT_NE(saved.find("[SysOption]\r\nPassword=new\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("\n\n"), std::string::npos);
}

TEST(SysOption, SaveFailureNamesTheFullPath) {
    TTempDir dir;
    const std::string path = dir.File("no-such-folder/Option.ini");
    TSysOption options(path);
    options.Load();
    try {
        options.Save();
        FAIL() << "Save should fail";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
    }
}

TEST(IniFile, UpdateAddsKeyAtTheEndOfItsSectionAndQuotesAreStripped) {
    EXPECT_EQ(TIniFile::Update("[A]\nx=1\n\n[B]\ny=2\n", "a", "z", "3"),
              "[A]\nx=1\nz=3\n\n[B]\ny=2\n");
    EXPECT_EQ(TIniFile::Update("[A]\nx=1", "A", "X", "5"), "[A]\nx=5\n");
    EXPECT_EQ(TIniFile::Update("", "A", "x", "1"), "[A]\nx=1\n");
    // A file cut after a CR: the new key still starts a line of its own.
    EXPECT_EQ(TIniFile::Update("[SysOption]\r\nA=1\r", "SysOption", "Password", "new"),
              "[SysOption]\r\nA=1\r\nPassword=new\r\n");
    EXPECT_EQ(TIniFile::Update("[B]\r\nA=1\r", "SysOption", "Password", "new"),
              "[B]\r\nA=1\r\n[SysOption]\r\nPassword=new\r\n");
    EXPECT_EQ(TIniFile::Lookup("[A]\nx='quoted'\n", "A", "x").value(), "quoted");
    EXPECT_EQ(TIniFile::Lookup("\xEF\xBB\xBF[A]\nx=1\n", "A", "x").value(), "1");
    EXPECT_FALSE(TIniFile::Lookup("[A]\nx=1\n", "B", "x").has_value());
}
