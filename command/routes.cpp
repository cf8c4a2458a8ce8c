#include "command/routes.h"

#include "command/dispatch.h"
#include "command/events.h"
#include "command/journal.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/command_text.h"
#include "core/commands.h"
#include "core/log.h"
#include "core/messages.h"
#include "ipc/counters.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "ipc/work_state.h"

namespace {

int iLastChanged = 0;

}  // namespace

void SendRevertives(int iFirst, int iLast, int iMode, int iValue)
{
    if (Rvx().iTxRx != kTxRx) return;
    // A run of revertives goes out whole: a state change that arrives
    // meanwhile takes effect after it.
    HoldTxRx();
    const RevertiveRun sRun = PlanRevertives(iFirst, iLast, iMode);
    for (int d = sRun.iFrom; d <= sRun.iTo; ++d) {
        // A sweep gives way to a close request (a single revertive, a
        // take's, still goes).
        if (sRun.iTo > sRun.iFrom && SweepCut(GetTickCount())) break;
        char acText[64];
        FormatRevertive(acText, sizeof acText, Profile().iDevice, d, Routes().aiIndex[d]);
        SendCopyText(hWndMain, Rvx().hWndRvx, sRun.iMessage, RevertiveValue(sRun, d, iValue), acText);
        CountRevertiveSent();
    }
    ReleaseTxRx();
    TellCountersChanged();
    TellRoutesChanged(iFirst, iLast);
}

// "RF device workstation": reload the access list, then all revertives.
int CommandRF(char* pText)
{
    int iWorkstation = 0;
    Refusal eRefusal = kNotRefused;
    const int bTaken = AcceptRefresh(pText, DriverLimits(), &iWorkstation, &eRefusal);
    JournalVerdict(eRefusal);
    if (!bTaken) return 0;
    LoadAccessList();
    SendRevertives(1, Profile().DatabaseSize_1, kRevertiveEach, iWorkstation);
    return 1;
}

// "RL device first last value workstation": set the lock value of a range of
// destinations and write the lock file at once. No revertive follows.
int CommandRL(char* pText)
{
    DebugLog(pText);
    LockOrder sOrder;
    Refusal eRefusal = kNotRefused;
    const int bTaken = AcceptLock(pText, DriverLimits(), &sOrder, &eRefusal);
    JournalVerdict(eRefusal);
    if (!bTaken) return 0;
    SetLocks(sOrder.iFirst, sOrder.iLast, sOrder.iValue);
    TellRoutesChanged(1, kPackageMax);
    SaveLockFile();
    return 1;
}

namespace {

// "RP" and "RQ": the revertives of a range in the given mode.
int CommandRange(char* pText, int iMode)
{
    RangeOrder sOrder;
    Refusal eRefusal = kNotRefused;
    const int bTaken = AcceptRange(pText, DriverLimits(), &sOrder, &eRefusal);
    JournalVerdict(eRefusal);
    if (bTaken) SendRevertives(sOrder.iFirst, sOrder.iLast, iMode, sOrder.iWorkstation);
    return 1;
}

}  // namespace

// "RP device first last workstation": revertives of a range, one 2187 each.
int CommandRP(char* pText)
{
    return CommandRange(pText, kRevertiveEach);
}

// "RQ device first last workstation": as "RP", as a 2188 series whose last
// revertive is marked.
int CommandRQ(char* pText)
{
    return CommandRange(pText, kRevertiveSeries);
}

void OnRevertiveRequest(intptr_t p1, intptr_t p2)
{
    switch (RevertiveRefreshScope(DriverLimits(), p1, p2, iLastChanged)) {
    case kRefreshAll:
        SendRevertives(1, Profile().DatabaseSize_1, kRevertiveEach, 0);
        break;
    case kRefreshChanged: {
        int iTo = Profile().DatabaseSize_1 > kPackageMax ? kPackageMax : Profile().DatabaseSize_1;
        for (int d = 1; d <= iTo && !SweepCut(GetTickCount()); ++d) {
            if (Routes().aiIndex[d] == iLastChanged) SendRevertives(d, d, kRevertiveEach, 0);
        }
        break;
    }
    case kRefreshNothing:
        break;
    }
}

void NoteNameChange(int iPackage, int iDatabase)
{
    iLastChanged = (iDatabase == 0 || iDatabase == 2) ? iPackage : 0;
}

int LastChanged()
{
    return iLastChanged;
}
