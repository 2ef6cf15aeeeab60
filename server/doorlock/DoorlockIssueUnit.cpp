#include "DoorlockIssueUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockRecordManagerUnit.h"
#include "shell/SysOptionUnit.h"

namespace {

// The start-time look-up, the room row, the encoder call and the stored records as one step.
bool IssueUnderLock(const TCardIssue& issue, const TSysOption& options,
                    TDoorlockRecordManager* store, int64_t& CardNo) {
    const std::string roomNo = issue.RoomNo();
    auto guard = LockDoorlockOperations();
    const TDateTime stayStart = TDateTime::Now().IncMinute(-options.DelayMinutes);

    TDateTime start = issue.CheckIn;
    if (options.UseNativeDoorlockDb) {
        if (!issue.IsCopy) {
            start = stayStart;
        } else {
            const TDateTime stored = store ? store->GetLastCheckInTime(roomNo) : TDateTime();
            if (!stored.IsZero()) {
                start = stored;
            } else {
                // A copy for a room we know nothing of opens its stay now, card or no card.
                start = stayStart;
                if (store)
                    store->AddRoom(roomNo, start);
            }
        }
    }

    bool issued = false;
    if (TBaseDoorlock* device = Doorlock)
        issued = device->IssueCard(issue.RegisterId, issue.BuildingCode, issue.FloorCode,
                                   issue.RoomCode, issue.GuestName, start, start, issue.CheckOut,
                                   issue.CheckOut, issue.IsCopy, CardNo);

    if (store && issued && options.UseNativeDoorlockDb && !issue.IsCopy)
        store->SetLastCheckInTime(roomNo, start);
    if (store && options.SaveDoorlockRecord)
        store->AddIssueCardRecord(issue.RegisterId, issued ? std::to_string(CardNo) : "0", roomNo,
                                  1, start, issue.CheckIn, issue.CheckOut, issue.IsCopy,
                                  issue.GuestName, TDateTime::Now());
    return issued;
}

} // namespace

bool IssueGuestCard(const TCardIssue& issue, int64_t& CardNo) {
    const TSysOption defaults{""};
    const TSysOption& options = SysOption ? *SysOption : defaults;
    // The store lives from start-up until after the last request has ended.
    TDoorlockRecordManager* store = DoorlockRecordManager;
    const bool issued = IssueUnderLock(issue, options, store, CardNo);
    // What the issue stored is on disk before anyone hears of the card; concurrent issues share
    // the flush.
    if (store && (options.UseNativeDoorlockDb || options.SaveDoorlockRecord))
        store->WaitDurable();
    return issued;
}
