#include "core/commands.h"

#include "core/command_text.h"
#include "core/messages.h"
#include "core/tokenizer.h"

namespace {

const int kRevertiveMark = 0x8000;   // last revertive of a 2188 series

// Splits a command into the number of fields its handler reads; 0 when it
// has fewer. apField needs room for 6 pointers, aiValue for 5 values.
int Fields(char* pText, CommandKind eKind, char** apField, int* aiValue)
{
    int nFields = CommandFieldCount(eKind);
    return TokenizeCommand(pText, nFields, apField, aiValue) >= nFields ? 1 : 0;
}

// The verdict on a command, for a caller that asked for it; returns 1 when
// nothing refused it.
int Verdict(Refusal eRefusal, Refusal* peRefusal)
{
    if (peRefusal != nullptr) *peRefusal = eRefusal;
    return eRefusal == kNotRefused ? 1 : 0;
}

}  // namespace

int IsSourceValid(const CommandLimits& sLimits, int n)
{
    return n >= 1 && n <= sLimits.iSources ? 1 : 0;
}

int IsDestValid(const CommandLimits& sLimits, int n)
{
    return n >= 1 && n <= sLimits.iDestinations ? 1 : 0;
}

int IsOurDevice(const CommandLimits& sLimits, int n)
{
    return n == sLimits.iDevice ? 1 : 0;
}

int HasAccess(const CommandLimits& sLimits, int iWorkstation)
{
    if (iWorkstation < 0 || iWorkstation > kWorkstationMax) return 0;
    return sLimits.abAccess[iWorkstation] != 0 ? 1 : 0;
}

int HasNumericAccess(const CommandLimits& sLimits, const char* pField, int iWorkstation)
{
    return IsNumberField(pField) && HasAccess(sLimits, iWorkstation) ? 1 : 0;
}

int AcceptTake(char* pText, const CommandLimits& sLimits, const int* abLock, TakeOrder* pOrder, Refusal* peRefusal)
{
    char* apField[6];
    int aiValue[5];
    if (!Fields(pText, CMD_RC, apField, aiValue)) return Verdict(kRefusedFields, peRefusal);
    const int iSource = aiValue[1];
    const int iDest = aiValue[2];
    const int iWorkstation = aiValue[4];
    if (!IsOurDevice(sLimits, aiValue[0])) return Verdict(kRefusedDevice, peRefusal);
    if (!HasNumericAccess(sLimits, apField[4], iWorkstation)) return Verdict(kRefusedAccess, peRefusal);
    if (!IsSourceValid(sLimits, iSource) || !IsDestValid(sLimits, iDest)) return Verdict(kRefusedRange, peRefusal);
    if (abLock[iDest] != 0) return Verdict(kRefusedLock, peRefusal);
    pOrder->iSource = iSource;
    pOrder->iDest = iDest;
    pOrder->pMask = apField[3];
    pOrder->iWorkstation = iWorkstation;
    return Verdict(kNotRefused, peRefusal);
}

// The workstation is checked against the list as it stands: "RF" reloads
// it only once taken.
int AcceptRefresh(char* pText, const CommandLimits& sLimits, int* piWorkstation, Refusal* peRefusal)
{
    char* apField[6];
    int aiValue[5];
    if (!Fields(pText, CMD_RF, apField, aiValue)) return Verdict(kRefusedFields, peRefusal);
    if (!IsOurDevice(sLimits, aiValue[0])) return Verdict(kRefusedDevice, peRefusal);
    if (!HasAccess(sLimits, aiValue[1])) return Verdict(kRefusedAccess, peRefusal);
    *piWorkstation = aiValue[1];
    return Verdict(kNotRefused, peRefusal);
}

int AcceptLock(char* pText, const CommandLimits& sLimits, LockOrder* pOrder, Refusal* peRefusal)
{
    char* apField[6];
    int aiValue[5];
    if (!Fields(pText, CMD_RL, apField, aiValue)) return Verdict(kRefusedFields, peRefusal);
    if (!IsOurDevice(sLimits, aiValue[0])) return Verdict(kRefusedDevice, peRefusal);
    if (!IsDestValid(sLimits, aiValue[1]) || !IsDestValid(sLimits, aiValue[2])) {
        return Verdict(kRefusedRange, peRefusal);
    }
    if (!HasNumericAccess(sLimits, apField[4], aiValue[4])) return Verdict(kRefusedAccess, peRefusal);
    pOrder->iFirst = aiValue[1];
    pOrder->iLast = aiValue[2] > kPackageMax ? kPackageMax : aiValue[2];
    pOrder->iValue = aiValue[3];
    return Verdict(kNotRefused, peRefusal);
}

int AcceptRange(char* pText, const CommandLimits& sLimits, RangeOrder* pOrder, Refusal* peRefusal)
{
    char* apField[6];
    int aiValue[5];
    if (!Fields(pText, CMD_RP, apField, aiValue)) return Verdict(kRefusedFields, peRefusal);
    if (!IsOurDevice(sLimits, aiValue[0])) return Verdict(kRefusedDevice, peRefusal);
    if (!IsDestValid(sLimits, aiValue[1])) return Verdict(kRefusedRange, peRefusal);
    if (!HasAccess(sLimits, aiValue[3])) return Verdict(kRefusedAccess, peRefusal);
    pOrder->iFirst = aiValue[1];
    pOrder->iLast = aiValue[2] > sLimits.iDestinations ? sLimits.iDestinations : aiValue[2];
    pOrder->iWorkstation = aiValue[3];
    return Verdict(kNotRefused, peRefusal);
}

// The tables end at kPackageMax; nothing beyond them is ever sent.
RevertiveRun PlanRevertives(int iFirst, int iLast, int iMode)
{
    RevertiveRun sRun;
    sRun.iFrom = iFirst < 1 ? 1 : iFirst;
    sRun.iTo = iLast > kPackageMax ? kPackageMax : iLast;
    sRun.iMessage = iMode == kRevertiveEach ? MSG_REVERTIVE : MSG_REVERTIVE_SERIES;
    return sRun;
}

int RevertiveValue(const RevertiveRun& sRun, int d, int iValue)
{
    if (d == sRun.iTo && sRun.iMessage == MSG_REVERTIVE_SERIES) return iValue | kRevertiveMark;
    return iValue;
}

// p2 = 2 asks for the destinations routed from the package of the last name
// change, anything else for all of them.
RefreshScope RevertiveRefreshScope(const CommandLimits& sLimits, intptr_t p1, intptr_t p2, int iLastChanged)
{
    if (p1 != sLimits.iDevice) return kRefreshNothing;
    if (p2 != 2) return kRefreshAll;
    return iLastChanged == 0 ? kRefreshNothing : kRefreshChanged;
}

int ReadsPreviousSource(int iPrevious)
{
    return iPrevious >= 1 && iPrevious <= kPackageMax ? 1 : 0;
}

int TakeRecordsRoute(const LevelEntry* asLevel, int iRevertiveLevel)
{
    return iRevertiveLevel < 1 || iRevertiveLevel > kLevelCount || asLevel[iRevertiveLevel].iMask != -1 ? 1 : 0;
}
