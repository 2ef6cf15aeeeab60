#include "BaseDoorlockUnit.h"

TBaseDoorlock* Doorlock = nullptr;

void TBaseDoorlock::ShowOptionDialog() {}

bool TBaseDoorlock::OpenPort() {
    return false;
}

void TBaseDoorlock::Beep() {}

bool TBaseDoorlock::ClosePort() {
    return false;
}

bool TBaseDoorlock::IssueCard(std::string, std::string, std::string, std::string, std::string,
                              TDateTime, TDateTime, TDateTime, TDateTime, bool, int64_t&) {
    return false;
}

bool TBaseDoorlock::ReadCard(int64_t&) {
    return false;
}

bool TBaseDoorlock::EraseCard() {
    return false;
}

namespace {
std::mutex& OperationLock() {
    static std::mutex lock;
    return lock;
}
} // namespace

std::unique_lock<std::mutex> LockDoorlockOperations() {
    return std::unique_lock<std::mutex>(OperationLock());
}

TBaseDoorlock* ReleaseDoorlock() {
    auto guard = LockDoorlockOperations();
    TBaseDoorlock* device = Doorlock;
    Doorlock = nullptr;
    return device;
}
