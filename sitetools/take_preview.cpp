// The take is decided by the driver's own functions: the command's checks
// (AcceptTake), the slot readers, the mask and the level step (PlanTake),
// the route index rule (TakeRecordsRoute) and the revertive
// (PlanRevertives, FormatRevertive). What is written here only finds the
// slots in the files, as the InfoDrivers would answer them, and reports.
#include "sitetools/take_preview.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "config/profile_text.h"
#include "core/command_text.h"
#include "core/commands.h"
#include "core/take_plan.h"
#include "core/tokenizer.h"
#include "ipc/wire.h"
#include "sitetools/check/text.h"

namespace {

// A slot as an InfoDriver answers a read: its text (empty for a slot
// nothing was written to), of which the take keeps kSlotTextMax characters.
struct SlotRead {
    const PackageSlot* pSlot;   // null: no line in the file
    std::string sText;
};

SlotRead FindSlot(const std::vector<PackageSlot>& aSlots, int iSlot)
{
    SlotRead read = {nullptr, ""};
    for (const PackageSlot& slot : aSlots) {
        if (slot.iSlot == iSlot) read.pSlot = &slot;
    }
    if (read.pSlot != nullptr) read.sText = read.pSlot->sText.substr(0, kSlotTextMax);
    return read;
}

std::string Where(const SlotRead& read, const std::string& sFile)
{
    return read.pSlot != nullptr ? read.pSlot->sWhere + " " + QuotedText(read.pSlot->sText)
                                 : "no line in " + sFile + ": an empty slot";
}

// Why the take reads the default map: the driver writes it at start over
// every level-map slot without a comma in its first 128 characters.
std::string DefaultMapReason(const SlotRead& levelMap, const TakeSlotFiles& files)
{
    if (!files.bLevelMaps) return "no --levelmap";
    if (levelMap.pSlot == nullptr) return "no line in " + files.sLevelMapName;
    return levelMap.pSlot->sWhere + " holds no comma in its first 128 characters";
}

const char* DecisionName(LevelDecision eDecision)
{
    switch (eDecision) {
    case kLevelNotInMask:   return "not in mask";
    case kLevelNoValue:     return "no value";
    case kLevelNoCommand:   return "no command";
    case kLevelBlocked:     return "blocked";
    case kLevelParkSkipped: return "park skipped";
    case kLevelSends:       return "sends";
    }
    return "?";
}

// Why a level sends nothing, in the site engineer's words.
std::string WhyNot(const LevelStep& step, const LevelEntry& sLevel, bool bPrevious)
{
    switch (step.eDecision) {
    case kLevelNoValue:
        if (sLevel.iSrc == -1 && sLevel.iDest == -1) return "neither package gives it a value";
        return sLevel.iSrc == -1 ? "the source package gives it no value" : "the destination package gives it no value";
    case kLevelNoCommand:
        return "its kind issues no command";
    case kLevelBlocked:
        return step.sCmd.eBlockedBy == kAboveTables
                   ? "listed, not sent: a value of the level is above 4096"
                   : "listed, not sent: the value that names the crosspoint, switch or slot is below 1";
    case kLevelParkSkipped:
        return bPrevious ? "listed, not sent: the previous source package has nothing above 0 on this level to park"
                         : "listed, not sent: no previous source package (see --previous) gives a value to park";
    default:
        return "";
    }
}

// "2124 101 RC 101 5 20 ',---' 7": message, value and text, as RVX receives
// them.
std::string Sent(int iMessage, int iValue, const char* pText)
{
    return std::to_string(iMessage) + " " + std::to_string(ValueOnTheWire(iMessage, iValue)) + " " + pText;
}

// Why AcceptTake refused the command, from the check it names; for a
// package out of range, which of the two.
std::string RefusalOf(Refusal eRefusal, const CommandLimits& sLimits, const TakeRequest& request)
{
    const int iSource = ConvertNumber(request.sSource.c_str());
    const int iDest = ConvertNumber(request.sDest.c_str());
    switch (eRefusal) {
    case kRefusedAccess:
        return "workstation " + request.sWorkstation + " has no access ([Security] Access)";
    case kRefusedRange:
        if (!IsSourceValid(sLimits, iSource)) {
            return "source package " + std::to_string(iSource) + " is outside 1.." +
                   std::to_string(sLimits.iSources) + " (DatabaseSize_0)";
        }
        return "destination package " + std::to_string(iDest) + " is outside 1.." +
               std::to_string(sLimits.iDestinations) + " (DatabaseSize_1)";
    default:
        return "the command is not read as a take";
    }
}

}  // namespace

int ValueOnTheWire(int iMessage, int iValue)
{
    return EnvelopeValue(PackEnvelope(iMessage, iValue));
}

TakePreview PreviewTake(int iDevice, const SiteProfile& profile, const TakeRequest& request,
                        const TakeSlotFiles& files, std::vector<Finding>* pFindings)
{
    TakePreview preview;
    const std::string sCommand = "RC " + std::to_string(iDevice) + " " + request.sSource + " " + request.sDest +
                                 " '" + request.sMask + "' " + request.sWorkstation;
    preview.sText = "take     " + sCommand + "\n";
    preview.sJson = "\"take\":{\"command\":" + JsonString(sCommand);

    static const int abNoLock[kPackageMax + 1] = {};
    const CommandLimits sLimits = {iDevice, profile.DatabaseSize_0, profile.DatabaseSize_1, profile.abAccess};
    std::vector<char> acCommand(sCommand.begin(), sCommand.end());
    acCommand.push_back('\0');
    TakeOrder sOrder;
    Refusal eRefusal = kNotRefused;
    if (!AcceptTake(acCommand.data(), sLimits, abNoLock, &sOrder, &eRefusal)) {
        const std::string sWhy = RefusalOf(eRefusal, sLimits, request);
        preview.sText += "         refused: " + sWhy + "\n";
        preview.sJson += ",\"accepted\":false,\"refused\":" + JsonString(sWhy) + "}";
        AddFinding(pFindings, kError, "take", sCommand, sWhy + ": the driver refuses the take, reads, lists and sends "
                                                              "nothing, and answers nothing");
        return preview;
    }
    const int iSource = sOrder.iSource;
    const int iDest = sOrder.iDest;

    // The four slots, as the take reads them.
    const bool bPrevious = ReadsPreviousSource(request.iPrevious) != 0;
    const SlotRead previous = bPrevious ? FindSlot(files.aSources, request.iPrevious) : SlotRead{nullptr, ""};
    const SlotRead source = FindSlot(files.aSources, iSource);
    const SlotRead dest = FindSlot(files.aDests, iDest);
    SlotRead levelMap = FindSlot(files.aLevelMaps, iDest);
    const bool bDefaultMap = LevelMapGetsDefault(levelMap.pSlot != nullptr ? levelMap.pSlot->sText.c_str() : "");
    if (bDefaultMap) {
        char acDefault[kDefaultLevelMapSize];
        FormatDefaultLevelMap(acDefault);
        levelMap.sText = acDefault;
    }

    std::string sPrevious = "none (no --previous)";
    if (request.iPrevious != 0) {
        sPrevious = std::to_string(request.iPrevious) + ": " +
                    (bPrevious ? Where(previous, files.sSourcesName) : std::string("not read (above 4096)"));
    }
    preview.sText += "         previous source package " + sPrevious + "\n";
    preview.sText += "         source package " + std::to_string(iSource) + ": " + Where(source, files.sSourcesName) +
                     "\n";
    preview.sText += "         destination package " + std::to_string(iDest) + ": " +
                     Where(dest, files.sDestsName) + "\n";
    preview.sText += "         level map slot " + std::to_string(iDest) + ": " +
                     (bDefaultMap ? "the default 1,2,...,32 (" + DefaultMapReason(levelMap, files) + ")"
                                  : Where(levelMap, files.sLevelMapName)) + "\n";
    if (bPrevious && previous.pSlot == nullptr) {
        AddMissing(pFindings, kNote, "take previous source package " + std::to_string(request.iPrevious),
                   "no line in " + files.sSourcesName + ": the take reads an empty slot, and no level can park");
    }
    if (source.pSlot == nullptr) {
        AddMissing(pFindings, kWarning, "take source package " + std::to_string(iSource),
                   "no line in " + files.sSourcesName + ": the take reads an empty slot and no level gets a value");
    }
    if (dest.pSlot == nullptr) {
        AddMissing(pFindings, kWarning, "take destination package " + std::to_string(iDest),
                   "no line in " + files.sDestsName + ": the take reads an empty slot and no level gets a value");
    }

    std::unique_ptr<TakePlan> pPlan(new TakePlan);
    const TakeSlots sSlots = {bPrevious ? previous.sText.c_str() : nullptr, source.sText.c_str(),
                              dest.sText.c_str(), levelMap.sText.c_str()};
    PlanTake(profile.sLevel, profile.sMask, profile.RevertiveLevel, sSlots, sOrder.pMask, sOrder.iWorkstation,
             nullptr, nullptr, pPlan.get());

    const std::string sMask = sOrder.pMask;
    std::string sMaskSays;
    if (pPlan->iMaskChosen > 0) {
        preview.asProfileKeys.push_back(std::string("[Masks] ") + MaskKey(pPlan->iMaskChosen).ac);
        sMaskSays = "mask " + std::to_string(pPlan->iMaskChosen) + " (" + MaskKey(pPlan->iMaskChosen).ac + ")";
    } else if (pPlan->iMaskChosen == kMaskIsList) {
        sMaskSays = "a list of levels";
    } else {
        sMaskSays = "no mask has this name (names compare exactly): no level is included";
    }
    preview.sText += "         mask " + QuotedText(sMask) + ": " + sMaskSays + "\n";
    bool bAnyLevel = false;
    for (int L = 1; L <= kLevelCount; ++L) bAnyLevel = bAnyLevel || pPlan->asLevel[L].iMask != -1;
    if (pPlan->iMaskChosen == kMaskUnknown && sMask != ",---" && sMask != "---") {
        AddFinding(pFindings, kWarning, "take mask", sMask, "no mask has this name: the take includes no level");
    } else if (!bAnyLevel) {
        AddFinding(pFindings, kNote, "take mask", sMask, "includes no level");
    }

    preview.sJson += ",\"accepted\":true,\"source\":" + std::to_string(iSource) + ",\"dest\":" +
                     std::to_string(iDest) + ",\"workstation\":" + std::to_string(sOrder.iWorkstation) +
                     ",\"previous\":" + std::to_string(request.iPrevious) + ",\"mask\":" + JsonString(sMask) +
                     ",\"levels\":[";
    int iQuietFrom = 0;   // first of a run of levels the mask leaves out
    for (int L = 1; L <= kLevelCount + 1; ++L) {
        const bool bQuiet = L <= kLevelCount && pPlan->asStep[L].eDecision == kLevelNotInMask;
        if (bQuiet && iQuietFrom == 0) iQuietFrom = L;
        if (!bQuiet && iQuietFrom != 0) {
            preview.sText += iQuietFrom == L - 1
                                 ? "level " + Padded(std::to_string(iQuietFrom), 3) + "not in the mask\n"
                                 : "levels " + std::to_string(iQuietFrom) + "-" + std::to_string(L - 1) +
                                       " not in the mask\n";
            iQuietFrom = 0;
        }
        if (L > kLevelCount) break;
        const LevelStep& step = pPlan->asStep[L];
        const std::string sWhy = WhyNot(step, pPlan->asLevel[L], bPrevious);
        preview.sJson += std::string(L > 1 ? "," : "") + "{\"level\":" + std::to_string(L) +
                         ",\"decision\":" + JsonString(DecisionName(step.eDecision));
        const int iWire = ValueOnTheWire(step.sCmd.iMessage, step.sCmd.iTarget);
        if (IsListed(step.eDecision)) {
            preview.sJson += ",\"message\":" + std::to_string(step.sCmd.iMessage) +
                             ",\"value\":" + std::to_string(iWire) + ",\"text\":" + JsonString(step.sCmd.acText);
            if (iWire != step.sCmd.iTarget) preview.sJson += ",\"target\":" + std::to_string(step.sCmd.iTarget);
        }
        if (!sWhy.empty()) preview.sJson += ",\"why\":" + JsonString(sWhy);
        preview.sJson += "}";
        if (bQuiet) continue;
        preview.asProfileKeys.push_back(std::string("[Levels] ") + LevelKey(L).ac);

        std::string sLine = "level " + Padded(std::to_string(L), 3) + Padded(DecisionName(step.eDecision), 13);
        if (IsListed(step.eDecision)) {
            sLine += Sent(step.sCmd.iMessage, step.sCmd.iTarget, step.sCmd.acText);
            if (iWire != step.sCmd.iTarget) {
                sLine += "\n" + std::string(22, ' ') + "the value " + std::to_string(step.sCmd.iTarget) +
                         " reaches RVX as " + std::to_string(iWire) + ": the message carries 16 bits";
            }
            if (!sWhy.empty()) sLine += "\n" + std::string(22, ' ') + sWhy;
        } else {
            sLine += sWhy;
        }
        preview.sText += sLine + "\n";
        const std::string sKey = "take level " + std::to_string(L) + " ([Levels] " + LevelKey(L).ac + ")";
        if (step.eDecision == kLevelBlocked) {
            AddFinding(pFindings, kWarning, sKey, step.sCmd.acText, sWhy);
        } else if (step.eDecision == kLevelParkSkipped) {
            AddFinding(pFindings, kNote, sKey, step.sCmd.acText, sWhy);
        }
    }
    preview.sJson += "]";

    // The route index and the revertive, as the end of the take leaves them.
    const int iBefore = request.iPrevious;
    if (pPlan->bRecordsRoute) {
        const RevertiveRun sRun = PlanRevertives(iDest, iDest, kRevertiveEach);
        char acRevertive[64];
        FormatRevertive(acRevertive, sizeof acRevertive, iDevice, iDest, iSource);
        const int iValue = RevertiveValue(sRun, iDest, 0);
        preview.sText += "route    aiIndex[" + std::to_string(iDest) + "] = " + std::to_string(iSource) + " (was " +
                         std::to_string(iBefore) + ")\n";
        preview.sText += "revertive " + Sent(sRun.iMessage, iValue, acRevertive) + "\n";
        preview.sJson += ",\"route\":{\"recorded\":true,\"before\":" + std::to_string(iBefore) +
                         ",\"after\":" + std::to_string(iSource) + "},\"revertive\":{\"message\":" +
                         std::to_string(sRun.iMessage) + ",\"value\":" + std::to_string(iValue) +
                         ",\"text\":" + JsonString(acRevertive) + "}";
    } else {
        const std::string sWhy = "level " + std::to_string(profile.RevertiveLevel) + " is not in the take";
        preview.sText += "route    aiIndex[" + std::to_string(iDest) + "] stays " + std::to_string(iBefore) +
                         ": RevertiveLevel " + sWhy + "\n";
        preview.sText += "revertive none\n";
        preview.sJson += ",\"route\":{\"recorded\":false,\"before\":" + std::to_string(iBefore) +
                         ",\"after\":" + std::to_string(iBefore) + "},\"revertive\":null";
        AddFinding(pFindings, kWarning, "[Combiner] RevertiveLevel", std::to_string(profile.RevertiveLevel),
                   sWhy + ": its level commands go out, but the route index keeps " + std::to_string(iBefore) +
                       " for destination " + std::to_string(iDest) + " and no revertive goes");
    }
    preview.sJson += "}";

    if (std::strcmp(profile.ExternalDLL, kNoLibrary) != 0) {
        AddFinding(pFindings, kNote, "[Combiner] ExternalDLL", profile.ExternalDLL,
                   "its combinerOutputFilter, when it exports one, is offered every listed command first (blocked "
                   "ones too) and may take it over: shown here is what the driver does without it");
    }
    return preview;
}
