// Level and mask tables of the package take: reading the package and level
// map slots into the level table, choosing the levels of a take, and composing
// each level's "RC", "GS" or "IW" command.
#include "core/levels.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/messages.h"
#include "core/strtok.h"
#include "core/tokenizer.h"

namespace {

void Log(LogFn pLog, const char* pText)
{
    if (pLog) pLog(pText);
}

// Number of commas in a text, capped so that levels 1..31 at most are filled.
int CountFields(const char* pText)
{
    int nCommas = 0;
    for (const char* p = pText; *p; ++p) {
        if (*p == ',') ++nCommas;
    }
    return nCommas > kSlotCommasRead ? kSlotCommasRead : nCommas;
}

// The value of a package field: -1 for "no value" (a text beginning with "-"),
// otherwise its number, never below -1.
int FieldValue(const char* pField)
{
    if (pField[0] == '-') return -1;
    int iValue = ConvertNumber(pField);
    return iValue < -1 ? -1 : iValue;
}

void CopyFieldText(char* pDest, const char* pField)
{
    int i = 0;
    for (; i < kSlotTextMax && pField[i]; ++i) pDest[i] = pField[i];
    pDest[i] = '\0';
}

// Splits a slot text with a fresh splitter and hands fields 0..count to
// pfnField (field k belongs to level k + 1) until it returns 0.
template <typename FieldFn>
void ForEachField(const char* pSlot, FieldFn pfnField)
{
    if (!pSlot) return;
    int nLast = CountFields(pSlot);
    Ckelm_strtok* pSplit = new (std::nothrow) Ckelm_strtok;
    if (!pSplit) return;
    pSplit->Split(pSlot, ',');
    char acField[Ckelm_strtok::kFieldSize + 1];
    for (int k = 0; k <= nLast; ++k) {
        pSplit->Field(k, acField);
        acField[Ckelm_strtok::kFieldSize] = '\0';
        if (!pfnField(k + 1, acField)) break;
    }
    delete pSplit;
}

}  // namespace

void ResetTakeFields(LevelEntry* asLevel)
{
    for (int L = 1; L <= kLevelCount; ++L) {
        asLevel[L].iPrevSrc = -1;
        asLevel[L].iSrc = -1;
        asLevel[L].iDest = -1;
        asLevel[L].iMask = -1;
        asLevel[L].iMap = 0;
        asLevel[L].acText[0] = '\0';
    }
}

// An empty field is stored (as 0) and ends the list.
void ReadPrevSourceSlot(LevelEntry* asLevel, const char* pSlot)
{
    ForEachField(pSlot, [asLevel](int L, const char* pField) {
        asLevel[L].iPrevSrc = FieldValue(pField);
        return pField[0] != '\0';
    });
}

// An empty field ends the list without being stored. A forward InfoDriver
// write level keeps the field text.
void ReadSourceSlot(LevelEntry* asLevel, const char* pSlot)
{
    ForEachField(pSlot, [asLevel](int L, const char* pField) {
        if (pField[0] == '\0') return false;
        if (asLevel[L].iKind == kInfoWriteLevel && asLevel[L].iType == kForward) {
            CopyFieldText(asLevel[L].acText, pField);
        }
        asLevel[L].iSrc = FieldValue(pField);
        return true;
    });
}

// An empty field is stored (as -1) and ends the list. A reverse InfoDriver
// write level keeps the field text.
void ReadDestSlot(LevelEntry* asLevel, const char* pSlot)
{
    ForEachField(pSlot, [asLevel](int L, const char* pField) {
        if (asLevel[L].iKind == kInfoWriteLevel && asLevel[L].iType == kReverse) {
            CopyFieldText(asLevel[L].acText, pField);
        }
        asLevel[L].iDest = pField[0] == '\0' ? -1 : FieldValue(pField);
        return pField[0] != '\0';
    });
}

// Every field up to the count is taken. A value outside 1..32 names no level
// of the table and becomes 0 (the blank entry).
void ReadLevelMapSlot(LevelEntry* asLevel, const char* pSlot)
{
    ForEachField(pSlot, [asLevel](int L, const char* pField) {
        int iMap = ConvertNumber(pField);
        asLevel[L].iMap = (iMap < 1 || iMap > kLevelCount) ? 0 : iMap;
        return true;
    });
}

namespace {

// The mask field is a list of level numbers or the name of a mask.
int ChooseLevels(LevelEntry* asLevel, const MaskEntry* asMask, const char* pMaskText, LogFn pLog)
{
    if (!pMaskText) return kMaskUnknown;
    const char* pText = pMaskText[0] == ',' ? pMaskText + 1 : pMaskText;

    if (pText[0] >= '0' && pText[0] <= '9') {
        // A list of level numbers; numbers outside 1..32 name no level.
        ForEachField(pText, [asLevel](int, const char* pField) {
            int iLevel = ConvertNumber(pField);
            if (iLevel >= 1 && iLevel <= kLevelCount) asLevel[iLevel].iMask = 1;
            return true;
        });
        return kMaskIsList;
    }

    char acLine[512];
    for (int i = 1; i <= kMaskCount; ++i) {
        std::snprintf(acLine, sizeof acLine, "sMask[%d].acName = %.32s (mask = %s)", i, asMask[i].acName, pText);
        Log(pLog, acLine);
        if (std::strncmp(asMask[i].acName, pText, sizeof asMask[i].acName) == 0
            && std::strlen(pText) < sizeof asMask[i].acName) {
            std::snprintf(acLine, sizeof acLine, "%.32s", asMask[i].acName);
            Log(pLog, acLine);
            for (int L = 1; L <= kLevelCount; ++L) asLevel[L].iMask = asMask[i].aiLevels[L];
            return i;
        }
    }
    return kMaskUnknown;
}

}  // namespace

// A take whose mask selects no level still records the route and sends the
// revertive (the panel's Take relies on it), and level 32 is never given a
// value by a slot: both are said in the log, as a site may not expect them.
int SelectLevels(LevelEntry* asLevel, const MaskEntry* asMask, const char* pMaskText, LogFn pLog)
{
    const int iChosen = ChooseLevels(asLevel, asMask, pMaskText, pLog);
    int bAny = 0;
    for (int L = 1; L <= kLevelCount; ++L) {
        if (asLevel[L].iMask != -1) bAny = 1;
    }
    if (!bAny) {
        Log(pLog, "mask selects no level");
    } else if (asLevel[kLevelCount].iMask != -1) {
        Log(pLog, "level 32 is in the mask but never receives a value from a slot");
    }
    return iChosen;
}

void FormatDefaultLevelMap(char* pDefault)
{
    int nUsed = 0;
    for (int iLevel = 1; iLevel <= kLevelCount; ++iLevel) {
        nUsed += std::snprintf(pDefault + nUsed, kDefaultLevelMapSize - nUsed, iLevel < kLevelCount ? "%d," : "%d",
                               iLevel);
    }
}

int LevelMapGetsDefault(const char* pSlot)
{
    if (pSlot == nullptr) return 1;
    for (int i = 0; i < kLevelMapProbe && pSlot[i] != '\0'; ++i) {
        if (pSlot[i] == ',') return 0;
    }
    return 1;
}

namespace {

// A condition of the column "not sent when": the last that holds names the
// cause.
void Block(LevelCommand* pCmd, bool bHolds, BlockCause eCause)
{
    if (!bHolds) return;
    pCmd->bBlocked = 1;
    pCmd->eBlockedBy = eCause;
}

}  // namespace

int CaptionFitsFormats(const char* pCaption)
{
    return pCaption != nullptr && std::strpbrk(pCaption, "',") == nullptr ? 1 : 0;
}

int ComposeLevelCommand(LevelEntry* asLevel, int iLevel, int iWorkstation, LevelCommand* pCmd, LogFn pLog)
{
    if (iLevel < 1 || iLevel > kLevelCount) return 0;
    LevelEntry& sL = asLevel[iLevel];

    char acLine[64];
    std::snprintf(acLine, sizeof acLine, "Scan %d : %d %d %d", iLevel, sL.iSrc, sL.iDest, sL.iMask);
    Log(pLog, acLine);

    if (sL.iSrc == -1 || sL.iDest == -1 || sL.iMask == -1) return 0;

    // A map value outside the table refers to the blank entry.
    int m = (sL.iMap < 0 || sL.iMap > kLevelCount) ? 0 : sL.iMap;
    const LevelEntry& sM = asLevel[m];
    char* pText = pCmd->acText;
    const int nText = sizeof pCmd->acText;
    pCmd->iTarget = sL.iTarget;
    pCmd->bBlocked = 0;
    pCmd->eBlockedBy = kNotBlocked;

    switch (sL.iKind) {
    case kRouteLevel:
        pCmd->iMessage = MSG_ROUTE_COMMAND;
        if (sL.iType == kForward) {
            std::snprintf(pText, nText, "RC %d %d %d ',---' %d", sL.iTarget, sL.iSrc, sM.iDest, iWorkstation);
            Block(pCmd, sM.iDest < 1, kBelowOne);
        } else if (sL.iSrc != 0) {
            Log(pLog, "NORMAL");
            std::snprintf(pText, nText, "RC %d %d %d ',---' %d", sL.iTarget, sM.iDest, sL.iSrc, iWorkstation);
            Log(pLog, pText);
            Block(pCmd, sL.iSrc < 1, kBelowOne);
        } else {
            Log(pLog, "PARK");
            std::snprintf(pText, nText, "RC %d 0 %d ',---' %d", sL.iTarget, sL.iPrevSrc, iWorkstation);
            Log(pLog, pText);
            Block(pCmd, sL.iPrevSrc < 1, kNothingToPark);
        }
        Block(pCmd, sM.iDest > kPackageMax || sL.iSrc > kPackageMax || sL.iPrevSrc > kPackageMax, kAboveTables);
        return 1;
    case kSwitchLevel:
        pCmd->iMessage = MSG_SWITCH_COMMAND;
        if (sL.iType == kForward) {
            if (sL.iSrc != 0) sL.iSrc = 1;
            std::snprintf(pText, nText, "GS %d %d %d %d", sL.iTarget, sL.iDest, sM.iSrc, iWorkstation);
            Block(pCmd, sM.iDest < 1, kBelowOne);
        } else {
            if (sL.iDest != 0) sL.iDest = 1;
            std::snprintf(pText, nText, "GS %d %d %d %d", sL.iTarget, sM.iSrc, sL.iDest, iWorkstation);
            Block(pCmd, sM.iSrc < 1, kBelowOne);
        }
        Block(pCmd, sM.iDest > kPackageMax || sL.iSrc > kPackageMax, kAboveTables);
        return 1;
    case kInfoWriteLevel:
        pCmd->iMessage = MSG_INFO_WRITE_COMMAND;
        if (!CaptionFitsFormats(sL.acText)) {
            char acNote[kSlotTextMax + 64];
            std::snprintf(acNote, sizeof acNote, "caption holds a quote or a comma, sent as it is: %s", sL.acText);
            Log(pLog, acNote);
        }
        if (sL.iType == kForward) {
            std::snprintf(pText, nText, "IW %d '%s' %d %d", sL.iTarget, sL.acText, sM.iDest, iWorkstation);
            Block(pCmd, sM.iDest < 1, kBelowOne);
        } else {
            std::snprintf(pText, nText, "IW %d '%s' %d %d", sL.iTarget, sL.acText, sL.iSrc, iWorkstation);
            Block(pCmd, sM.iSrc < 1, kBelowOne);
        }
        Block(pCmd, sM.iDest > kPackageMax || sL.iSrc > kPackageMax, kAboveTables);
        return 1;
    default:
        return 0;
    }
}
