// What a router command asks for and whether the driver takes it
// (platform-free): the checks of device, packages, lock and workstation
// against the profile's limits, given explicitly, and what follows from a
// command that passes them (the range it covers, its revertives).
#pragma once
#include <cstdint>

#include "core/levels.h"

// What router commands are checked against: the device number, the two
// database sizes (DatabaseSize_0, DatabaseSize_1) and the workstation access
// table (entries 0..kWorkstationMax).
struct CommandLimits {
    int iDevice;
    int iSources;
    int iDestinations;
    const int* abAccess;
};

int IsSourceValid(const CommandLimits& sLimits, int n);
int IsDestValid(const CommandLimits& sLimits, int n);
int IsOurDevice(const CommandLimits& sLimits, int n);
// A workstation number outside the access table is refused.
int HasAccess(const CommandLimits& sLimits, int iWorkstation);
// The access check of "RC" and "RL", which change routes and locks: the
// workstation field must also be written as a number, since an empty or
// non-numeric field converts to 0, the panel's own workstation.
int HasNumericAccess(const CommandLimits& sLimits, const char* pField, int iWorkstation);

// Why a router command is refused: the first of its checks that failed, in
// the order the checks are made.
enum Refusal {
    kNotRefused = 0,
    kRefusedFields,   // fewer fields than its handler reads
    kRefusedDevice,   // another device's command
    kRefusedAccess,   // the workstation has no access, lies outside the table or is not written as a number
    kRefusedRange,    // a package number outside the databases
    kRefusedLock      // a take onto a locked destination
};

// Each Accept function splits its command's text in place (TokenizeCommand)
// and returns 1, with what the command asks for, when the driver takes it;
// 0 when the command is refused. *peRefusal, when given, says why (or
// kNotRefused).

// "RC device source dest 'mask' workstation": ours, a workstation written as
// a number with access, both packages valid, the destination not locked
// (abLock, indexed by destination). pMask points into the text.
struct TakeOrder {
    int iSource;
    int iDest;
    const char* pMask;
    int iWorkstation;
};
int AcceptTake(char* pText, const CommandLimits& sLimits, const int* abLock, TakeOrder* pOrder,
               Refusal* peRefusal = nullptr);

// "RF device workstation".
int AcceptRefresh(char* pText, const CommandLimits& sLimits, int* piWorkstation, Refusal* peRefusal = nullptr);

// "RL device first last value workstation": both ends valid, a workstation
// written as a number with access. iLast is cut to the tables; a first above
// the last covers nothing.
struct LockOrder {
    int iFirst;
    int iLast;
    int iValue;
};
int AcceptLock(char* pText, const CommandLimits& sLimits, LockOrder* pOrder, Refusal* peRefusal = nullptr);

// "RP" and "RQ device first last workstation": the first valid, a
// workstation with access; iLast is cut to the destinations.
struct RangeOrder {
    int iFirst;
    int iLast;
    int iWorkstation;
};
int AcceptRange(char* pText, const CommandLimits& sLimits, RangeOrder* pOrder, Refusal* peRefusal = nullptr);

// The revertives of destinations iFirst..iLast in a RevertiveMode: those of
// the tables, iFrom..iTo (none when iFrom > iTo), each sent with iMessage.
struct RevertiveRun {
    int iFrom;
    int iTo;
    int iMessage;
};
RevertiveRun PlanRevertives(int iFirst, int iLast, int iMode);
// The value sent with destination d's revertive: iValue, and for the last
// revertive of a series iValue marked with 0x8000.
int RevertiveValue(const RevertiveRun& sRun, int d, int iValue);

// Message 2177 (wparam p1, lparam p2): which revertives it asks for.
enum RefreshScope {
    kRefreshNothing,   // another device's, or no package name has changed
    kRefreshAll,       // every destination
    kRefreshChanged    // the destinations routed from the package of the last name change
};
RefreshScope RevertiveRefreshScope(const CommandLimits& sLimits, intptr_t p1, intptr_t p2, int iLastChanged);

// The take: its previous source package is read when it is a package of
// the tables, and the route index follows it only when RevertiveLevel names
// no level or a level the take includes.
int ReadsPreviousSource(int iPrevious);
int TakeRecordsRoute(const LevelEntry* asLevel, int iRevertiveLevel);
