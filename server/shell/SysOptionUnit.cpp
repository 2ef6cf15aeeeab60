#include "SysOptionUnit.h"

#include "IniFileUnit.h"

TSysOption* SysOption = nullptr;

namespace {
constexpr const char* SysSection = "SysOption";
constexpr const char* DoorlockSection = "DoorlockOption";
} // namespace

void TSysOption::Load() {
    const TIniFile ini(FileName);
    Password = ini.ReadString(SysSection, "Password", "wexoti");
    DoorlockPortNo = ini.ReadInteger(SysSection, "DoorlockPortNo", 8886);
    PolicePortNo = ini.ReadInteger(SysSection, "PolicePortNo", 8885);
    MemberPortNo = ini.ReadInteger(SysSection, "MemberPortNo", 8883);
    ScanPortNo = ini.ReadInteger(SysSection, "ScanPortNo", 8881);
    DelayMinutes = ini.ReadInteger(DoorlockSection, "DelayMinutes", 0);
    DelayMinutes2 = ini.ReadInteger(DoorlockSection, "DelayMinutes2", 0);
    UseNativeDoorlockDb = ini.ReadBool(DoorlockSection, "UseNativeDoorlockDb", false);
    SaveDoorlockRecord = ini.ReadBool(DoorlockSection, "SaveDoorlockRecord", false);
    ReadTimeoutSeconds = ini.ReadInteger(SysSection, "ReadTimeoutSeconds", 30);
    MaxConnections = ini.ReadInteger(SysSection, "MaxConnections", 64);
}

void TSysOption::Save() const {
    TIniFile ini(FileName);
    ini.WriteString(SysSection, "Password", Password);
    ini.WriteInteger(SysSection, "DoorlockPortNo", DoorlockPortNo);
    ini.WriteInteger(SysSection, "PolicePortNo", PolicePortNo);
    ini.WriteInteger(SysSection, "MemberPortNo", MemberPortNo);
    ini.WriteInteger(SysSection, "ScanPortNo", ScanPortNo);
    ini.WriteInteger(DoorlockSection, "DelayMinutes", DelayMinutes);
    ini.WriteInteger(DoorlockSection, "DelayMinutes2", DelayMinutes2);
    ini.WriteBool(DoorlockSection, "UseNativeDoorlockDb", UseNativeDoorlockDb);
    ini.WriteBool(DoorlockSection, "SaveDoorlockRecord", SaveDoorlockRecord);
}
