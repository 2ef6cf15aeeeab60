#pragma once

#include <string>

class TSysOption;

// Which interface the running program serves: 1 door lock, 2 police, 3 member card. Set once
// before the listener starts and only read afterwards; 0 until then.
extern int InterfaceMode;

enum : int { DoorlockInterface = 1, PoliceInterface = 2, MemberInterface = 3 };

// The mode's application and window title, e.g. "CorvelHostra门锁接口"; empty for other values.
std::string InterfaceTitle(int mode);
// The line shown when the mode's listener starts; empty for other values.
std::string ListenerStartLine(int mode);
inline constexpr const char* ListenerStopLine = "接口监听服务器已经停止。";
// The listening port of the mode from the settings; -1 for other values.
int ListenerPort(int mode, const TSysOption& options);
