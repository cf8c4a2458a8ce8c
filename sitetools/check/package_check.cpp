// Each package slot is read with the take's own slot readers, and each
// level value is put through the take's own level step with a plain
// counterpart, so that the checker finds what the driver will do, not what a
// reading of the text suggests.
#include "sitetools/check/package_check.h"

#include <cstring>
#include <memory>

#include "core/strtok.h"
#include "core/tokenizer.h"
#include "sitetools/check/text.h"

namespace {

const int kUnsetMap = -99;         // a level the level-map slot does not reach (the take reads it as 0)

// The level table with the configuration of asConfig and the take's working
// fields reset, iMap included.
void FreshTable(const LevelEntry* asConfig, LevelEntry* asLevel)
{
    std::memset(asLevel, 0, sizeof(LevelEntry) * (kLevelCount + 1));
    for (int L = 1; L <= kLevelCount; ++L) {
        asLevel[L].iType = asConfig[L].iType;
        asLevel[L].iKind = asConfig[L].iKind;
        asLevel[L].iTarget = asConfig[L].iTarget;
    }
    ResetTakeFields(asLevel);
}

std::string Kept(const std::string& sText)
{
    return sText.substr(0, kSlotTextMax);
}

// The fields of a slot text as the take splits them: the kept text, fields
// 0..count with the count of commas capped at 30.
std::vector<std::string> TakeFields(const std::string& sText)
{
    const std::string sKept = Kept(sText);
    int nCommas = 0;
    for (char c : sKept) nCommas += c == ',';
    if (nCommas > kSlotCommasRead) nCommas = kSlotCommasRead;
    std::unique_ptr<Ckelm_strtok> pSplit(new Ckelm_strtok);
    pSplit->Split(sKept.c_str(), ',');
    std::vector<std::string> asField;
    char acField[Ckelm_strtok::kFieldSize + 1];
    for (int k = 0; k <= nCommas; ++k) {
        pSplit->Field(k, acField);
        asField.push_back(acField);
    }
    return asField;
}

// Every field of the whole text, however many.
std::vector<std::string> AllFields(const std::string& sText)
{
    std::vector<std::string> asField;
    size_t iStart = 0;
    for (;;) {
        size_t iEnd = sText.find(',', iStart);
        asField.push_back(sText.substr(iStart, iEnd == std::string::npos ? std::string::npos : iEnd - iStart));
        if (iEnd == std::string::npos) return asField;
        iStart = iEnd + 1;
    }
}

bool StartsWithNumber(const std::string& sField)
{
    size_t i = sField.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return false;
    if (sField[i] == '+' || sField[i] == '-') ++i;
    return i < sField.size() && sField[i] >= '0' && sField[i] <= '9';
}


bool HasValue(const std::string& sField)
{
    return !sField.empty() && sField[0] != '-';
}

std::string PackageKey(const PackageSlot& slot, const char* pWhat)
{
    return slot.sWhere + " " + pWhat + " " + std::to_string(slot.iSlot);
}

std::string LevelKey(const PackageSlot& slot, const char* pWhat, int iLevel)
{
    return PackageKey(slot, pWhat) + " level " + std::to_string(iLevel);
}

// Is the level step blocked when this package holds sField on level L and
// the other package a plain 1 (identity level map, level included)?
bool WouldBlock(const LevelEntry* asConfig, int L, const std::string& sField, bool bSource)
{
    LevelEntry asLevel[kLevelCount + 1];
    FreshTable(asConfig, asLevel);
    // "-" on the levels before L: no value, and the list goes on.
    std::string sBefore;
    for (int i = 1; i < L; ++i) sBefore += "-,";
    const std::string sOther = sBefore + "1";
    const std::string sThis = sBefore + sField;
    ReadPrevSourceSlot(asLevel, sOther.c_str());
    ReadSourceSlot(asLevel, (bSource ? sThis : sOther).c_str());
    ReadDestSlot(asLevel, (bSource ? sOther : sThis).c_str());
    asLevel[L].iMap = L;
    asLevel[L].iMask = 1;
    LevelCommand sCmd;
    if (!ComposeLevelCommand(asLevel, L, 0, &sCmd, nullptr)) return false;
    return sCmd.bBlocked != 0;
}

// A caption of an InfoDriver-write level: the text goes out in single
// quotes, and its leading number (if any) is the level's value.
void CheckCaption(const LevelEntry* asConfig, const PackageSlot& slot, const char* pWhat, int L,
                  const std::string& sField, bool bSource, std::vector<Finding>* pFindings)
{
    const std::string sKey = LevelKey(slot, pWhat, L);
    if (!CaptionFitsFormats(sField.c_str())) {
        // What a receiver's tokenizer makes of the write.
        std::string sCommand = "IW " + std::to_string(asConfig[L].iTarget) + " '" + sField + "' 1 0";
        std::vector<char> acCommand(sCommand.begin(), sCommand.end());
        acCommand.push_back('\0');
        char* apField[5];
        int aiValue[4];
        int nFields = TokenizeCommand(acCommand.data(), 4, apField, aiValue);
        std::string sRead = nFields >= 2 ? apField[1] : "";
        AddFinding(pFindings, kError, sKey, sField,
                   "the caption holds a quote, which ends it inside the InfoDriver write 'IW ...': its receiver reads "
                   "the text " + QuotedText(sRead) + " and a wrong slot number");
    }
    if (WouldBlock(asConfig, L, sField, bSource)) {
        AddFinding(pFindings, kError, sKey, sField,
                   "the caption begins with the number " + std::to_string(ConvertNumber(sField.c_str())) +
                       ", above 4096: the driver never sends this write");
    }
}

void CheckNumber(const LevelEntry* asConfig, const PackageSlot& slot, const char* pWhat, int L,
                 const std::string& sField, bool bSource, std::vector<Finding>* pFindings)
{
    const std::string sKey = LevelKey(slot, pWhat, L);
    const int iValue = ConvertNumber(sField.c_str());
    const bool bBlocked = WouldBlock(asConfig, L, sField, bSource);
    if (!StartsWithNumber(sField)) {
        AddFinding(pFindings, kError, sKey, sField,
                   std::string("not a number: the driver takes it as 0") +
                       (bBlocked ? " and never sends the level's command" : ""));
    } else if (bBlocked && iValue > kPackageMax) {
        AddFinding(pFindings, kError, sKey, sField, "above 4096: the driver never sends the level's command");
    } else if (bBlocked) {
        AddFinding(pFindings, kWarning, sKey, sField,
                   "the driver never sends the level's command with this value (\"-\" says the package has nothing "
                   "on this level)");
    } else if (!IsWholeNumber(sField)) {
        AddFinding(pFindings, kWarning, sKey, sField,
                   "read as " + std::to_string(iValue) + ": the rest of the field is ignored");
    }
}

// What the whole text gives each level against what the kept 256
// characters give: the levels whose value or text differ.
std::vector<int> LevelsChangedByCut(const LevelEntry* asConfig, const std::string& sText, bool bSource)
{
    LevelEntry asWhole[kLevelCount + 1];
    LevelEntry asKept[kLevelCount + 1];
    FreshTable(asConfig, asWhole);
    FreshTable(asConfig, asKept);
    if (bSource) {
        ReadSourceSlot(asWhole, sText.c_str());
        ReadSourceSlot(asKept, Kept(sText).c_str());
    } else {
        ReadDestSlot(asWhole, sText.c_str());
        ReadDestSlot(asKept, Kept(sText).c_str());
    }
    std::vector<int> aiLevel;
    for (int L = 1; L <= kLevelCount; ++L) {
        if (asWhole[L].iSrc != asKept[L].iSrc || asWhole[L].iDest != asKept[L].iDest ||
            std::strcmp(asWhole[L].acText, asKept[L].acText) != 0) {
            aiLevel.push_back(L);
        }
    }
    return aiLevel;
}

std::string LevelList(const std::vector<int>& aiLevel)
{
    std::string s;
    for (int L : aiLevel) s += (s.empty() ? "" : ", ") + std::to_string(L);
    return s;
}

// The checks that source and destination packages share.
void CheckPackage(const LevelEntry* asConfig, int iDatabaseSize, const PackageSlot& slot, bool bSource,
                  std::vector<Finding>* pFindings)
{
    const char* pWhat = bSource ? "source package" : "destination package";
    const std::string sKey = PackageKey(slot, pWhat);
    if (slot.iSlot > iDatabaseSize) {
        AddFinding(pFindings, kNote, sKey, slot.sText,
                   std::string("beyond ") + (bSource ? "DatabaseSize_0" : "DatabaseSize_1") + " (" +
                       std::to_string(iDatabaseSize) + "): no take ever reads it");
        return;
    }
    if (slot.sText.size() > static_cast<size_t>(kSlotTextMax)) {
        std::vector<int> aiChanged = LevelsChangedByCut(asConfig, slot.sText, bSource);
        if (aiChanged.empty()) {
            AddFinding(pFindings, kNote, sKey, slot.sText,
                       "longer than the 256 characters the driver keeps; the rest changes nothing");
        } else {
            AddFinding(pFindings, kError, sKey, slot.sText,
                       "longer than the 256 characters the driver keeps: level " + LevelList(aiChanged) +
                           " reads differently from the text");
        }
    }
    const std::vector<std::string> asAll = AllFields(slot.sText);
    for (size_t k = kSlotCommasRead + 1; k < asAll.size(); ++k) {
        if (!HasValue(asAll[k])) continue;
        AddFinding(pFindings, kError, sKey, slot.sText,
                   std::to_string(asAll.size()) + " fields: the driver reads the first 31, so field " +
                       std::to_string(k + 1) + " (" + QuotedText(asAll[k]) +
                       ") and any after it never reach a level (level 32 never gets a value)");
        break;
    }

    const std::vector<std::string> asField = TakeFields(slot.sText);
    for (size_t k = 0; k < asField.size(); ++k) {
        const int L = static_cast<int>(k) + 1;
        const std::string& sField = asField[k];
        if (sField.empty()) {
            for (size_t j = k + 1; j < asField.size(); ++j) {
                if (asField[j].empty()) continue;
                AddFinding(pFindings, kError, LevelKey(slot, pWhat, L), sField,
                           "an empty field ends the package: levels " + std::to_string(L + 1) +
                               " and later never get a value");
                break;
            }
            return;
        }
        const LevelEntry& sCfg = asConfig[L];
        if (sCfg.iKind == 0 || !HasValue(sField)) continue;
        const bool bCaption = sCfg.iKind == 3 && sCfg.iType == (bSource ? 1 : 2);
        if (bCaption) {
            CheckCaption(asConfig, slot, pWhat, L, sField, bSource, pFindings);
        } else {
            CheckNumber(asConfig, slot, pWhat, L, sField, bSource, pFindings);
        }
    }
}

// The level map the take will use for a destination: the slot's own when its
// first 128 characters hold a comma, else the default that the driver writes
// over it at start.
void MapOfDestination(const LevelEntry* asConfig, const std::vector<PackageSlot>& aMaps, int iDest,
                      LevelEntry* asLevel, const PackageSlot** ppSlot)
{
    FreshTable(asConfig, asLevel);
    for (int L = 0; L <= kLevelCount; ++L) asLevel[L].iMap = kUnsetMap;
    *ppSlot = nullptr;
    for (const PackageSlot& map : aMaps) {
        if (map.iSlot == iDest) *ppSlot = &map;
    }
    if (*ppSlot != nullptr && !LevelMapGetsDefault((*ppSlot)->sText.c_str())) {
        ReadLevelMapSlot(asLevel, Kept((*ppSlot)->sText).c_str());
        return;
    }
    *ppSlot = nullptr;
    char acDefault[kDefaultLevelMapSize];
    FormatDefaultLevelMap(acDefault);
    ReadLevelMapSlot(asLevel, acDefault);
}

void CheckDestMap(const LevelEntry* asConfig, const PackageSlot& slot, const std::vector<PackageSlot>& aMaps,
                  std::vector<Finding>* pFindings)
{
    LevelEntry asDest[kLevelCount + 1];
    FreshTable(asConfig, asDest);
    ReadDestSlot(asDest, Kept(slot.sText).c_str());
    LevelEntry asMap[kLevelCount + 1];
    const PackageSlot* pMap = nullptr;
    MapOfDestination(asConfig, aMaps, slot.iSlot, asMap, &pMap);
    const std::string sMapName = "level map slot " + std::to_string(slot.iSlot) +
                                 (pMap != nullptr ? " (" + pMap->sWhere + ")" : " (the default)");
    for (int L = 1; L <= kLevelCount; ++L) {
        if (asConfig[L].iKind == 0 || asDest[L].iDest == -1) continue;
        const std::string sKey = LevelKey(slot, "destination package", L);
        const std::string sValue = std::to_string(asDest[L].iDest);
        if (asMap[L].iMap == kUnsetMap) {
            AddFinding(pFindings, kError, sKey, sValue,
                       sMapName + " has no field for level " + std::to_string(L) +
                           ": the level is unmapped (every take starts from a cleared map) and never switches");
        } else if (asMap[L].iMap == 0) {
            AddFinding(pFindings, kError, sKey, sValue,
                       sMapName + " leaves level " + std::to_string(L) +
                           " unmapped: it takes its values from no level, so it never switches as the package says");
        }
    }
}

}  // namespace

void CheckSourcePackages(const LevelEntry* asConfig, int iDatabaseSize, const std::vector<PackageSlot>& aSlots,
                         std::vector<Finding>* pFindings)
{
    for (const PackageSlot& slot : aSlots) CheckPackage(asConfig, iDatabaseSize, slot, true, pFindings);
}

void CheckDestPackages(const LevelEntry* asConfig, int iDatabaseSize, const std::vector<PackageSlot>& aSlots,
                       const std::vector<PackageSlot>* paMaps, std::vector<Finding>* pFindings)
{
    for (const PackageSlot& slot : aSlots) {
        CheckPackage(asConfig, iDatabaseSize, slot, false, pFindings);
        if (paMaps != nullptr && slot.iSlot <= iDatabaseSize) CheckDestMap(asConfig, slot, *paMaps, pFindings);
    }
}

void CheckLevelMaps(const std::vector<PackageSlot>& aMaps, std::vector<Finding>* pFindings)
{
    for (const PackageSlot& map : aMaps) {
        const std::string sKey = map.sWhere + " level map slot " + std::to_string(map.iSlot);
        if (LevelMapGetsDefault(map.sText.c_str())) {
            if (!map.sText.empty()) {
                AddFinding(pFindings, kWarning, sKey, map.sText,
                           "no comma in the first 128 characters: the driver writes the default map 1,2,...,32 "
                           "over it at start");
            }
            continue;
        }
        const std::vector<std::string> asField = TakeFields(map.sText);
        std::string sOutside;
        for (size_t k = 0; k < asField.size(); ++k) {
            int iMap = ConvertNumber(asField[k].c_str());
            if (iMap >= 1 && iMap <= kLevelCount) continue;
            sOutside += (sOutside.empty() ? "" : ", ") + std::string("level ") + std::to_string(k + 1) + " " +
                        QuotedText(asField[k]);
        }
        if (!sOutside.empty()) {
            AddFinding(pFindings, kWarning, sKey, map.sText,
                       "values outside 1..32 (" + sOutside + "): those levels take their values from no level");
        }
    }
}
