#include "InterfaceModeUnit.h"

#include "SysOptionUnit.h"

int InterfaceMode = 0;

std::string InterfaceTitle(int mode) {
    switch (mode) {
    case DoorlockInterface:
        return "CorvelHostra门锁接口";
    case PoliceInterface:
        return "CorvelHostra公安接口";
    case MemberInterface:
        return "CorvelHostra会员卡接口";
    default:
        return {};
    }
}

std::string ListenerStartLine(int mode) {
    switch (mode) {
    case DoorlockInterface:
        return "门锁接口监听服务器已经启动...";
    case PoliceInterface:
        return "公安接口监听服务器已经启动...";
    case MemberInterface:
        return "会员卡接口监听服务器已经启动...";
    default:
        return {};
    }
}

int ListenerPort(int mode, const TSysOption& options) {
    switch (mode) {
    case DoorlockInterface:
        return options.DoorlockPortNo;
    case PoliceInterface:
        return options.PolicePortNo;
    case MemberInterface:
        return options.MemberPortNo;
    default:
        return -1;
    }
}
