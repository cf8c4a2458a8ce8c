// The device profile loaded step by step as the driver loads it (the same
// key table, the same decision on each value, the same parsers), with a
// finding wherever the driver will do something other than the text seems
// to ask for.
#include "sitetools/check/profile_check.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "config/profile_text.h"
#include "core/journal_text.h"
#include "core/tokenizer.h"
#include "sitetools/check/text.h"

namespace {

const size_t kShownMax = 60;     // characters of a refused value shown in its finding

// One key as the driver reads it and as the file holds it.
struct KeyText {
    std::string sKey;      // "[Section] Key" for the findings
    bool bPresent;
    bool bRefused;         // longer than kProfileValueMax: the driver refuses it
    std::string sWhole;    // the value as the file holds it; empty when missing
    std::string sDriver;   // what the driver's read gives
};

KeyText ReadKey(const ProfileSource& source, const char* pSection, const char* pKey, const char* pDefault)
{
    KeyText k;
    k.sKey = std::string("[") + pSection + "] " + pKey;
    k.bPresent = source.fnWhole(pSection, pKey, &k.sWhole);
    if (!k.bPresent) k.sWhole.clear();
    // Read as the driver reads: one byte more than the longest value and its
    // terminator, so that a value that fills the buffer is seen as too long.
    k.sDriver = source.fnRead(pSection, pKey, pDefault, kProfileValueMax + 2);
    k.bRefused = k.sDriver.size() > static_cast<size_t>(kProfileValueMax);
    return k;
}

// A key of the table of profile keys, read as the driver reads it.
KeyText ReadKey(const ProfileSource& source, ProfileKeyId eKey)
{
    const ProfileKey& key = asProfileKey[eKey];
    return ReadKey(source, key.pSection, key.pKey, key.pMissing);
}

// "Key=value": what the driver writes back for a missing key.
std::string Written(ProfileKeyId eKey)
{
    return std::string(asProfileKey[eKey].pKey) + "=" + asProfileKey[eKey].pWritten;
}
void Add(std::vector<Finding>* pFindings, Severity eSeverity, const KeyText& k, const std::string& sEffect)
{
    if (!k.bPresent) {
        AddMissing(pFindings, eSeverity, k.sKey, sEffect);
    } else if (k.bRefused) {
        AddFinding(pFindings, eSeverity, k.sKey, k.sWhole.substr(0, kShownMax) + "...", sEffect);
    } else {
        AddFinding(pFindings, eSeverity, k.sKey, k.sWhole, sEffect);
    }
}

// A value too long for the driver: it refuses the value whole (sOutcome says
// what it does instead). True when refused.
bool CheckRefused(std::vector<Finding>* pFindings, const KeyText& k, const std::string& sOutcome)
{
    if (!k.bRefused) return false;
    Add(pFindings, kError, k,
        "longer than " + std::to_string(kProfileValueMax) + " characters: the driver refuses the value, " + sOutcome);
    return true;
}

// A number key: read as the driver reads it, and the driver's decision on
// it (a refused value reads as 0).
KeyDecision DecideNumberKey(const ProfileSource& source, std::vector<Finding>* pFindings, ProfileKeyId eKey,
                            int iDevice, KeyText* pText)
{
    *pText = ReadKey(source, eKey);
    const bool bRefused = CheckRefused(pFindings, *pText, "read as 0");
    return DecideKey(eKey, bRefused ? nullptr : pText->sDriver.c_str(), iDevice);
}

bool StartsWithNumber(const std::string& sText)
{
    int iValue = 0;
    return ScanInt(sText.c_str(), &iValue) != 0;
}

// The comma-separated fields of a text as the driver's profile parsers walk
// them: runs of commas count as one separator, empty fields are skipped.
std::vector<std::string> ProfileFields(const std::string& sText)
{
    std::vector<std::string> asField;
    size_t i = 0;
    while (i < sText.size()) {
        while (i < sText.size() && sText[i] == ',') ++i;
        if (i >= sText.size()) break;
        size_t j = sText.find(',', i);
        if (j == std::string::npos) j = sText.size();
        asField.push_back(sText.substr(i, j - i));
        i = j;
    }
    return asField;
}

std::string Upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "Level_06..Level_32" or "Level_06, Level_09..Level_11" of the numbers in order.
std::string KeyRanges(const char* pStem, const std::vector<int>& aiNumber)
{
    std::string sOut;
    for (size_t i = 0; i < aiNumber.size();) {
        size_t j = i;
        while (j + 1 < aiNumber.size() && aiNumber[j + 1] == aiNumber[j] + 1) ++j;
        char ac[48];
        if (j == i) {
            std::snprintf(ac, sizeof ac, "%s_%02d", pStem, aiNumber[i]);
        } else {
            std::snprintf(ac, sizeof ac, "%s_%02d..%s_%02d", pStem, aiNumber[i], pStem, aiNumber[j]);
        }
        sOut += (sOut.empty() ? "" : ", ") + std::string(ac);
        i = j + 1;
    }
    return sOut;
}

// ---- [Combiner] and [Database]

struct InfoKey {
    ProfileKeyId eKey;
    const char* pKey;
    const char* pWhat;
    int SiteProfile::*pSetting;
};

const InfoKey asInfoKey[3] = {
    {kKeySrcePkgInfoId, asProfileKey[kKeySrcePkgInfoId].pKey, "the source package InfoDriver",
     &SiteProfile::SrcePkgInfoId},
    {kKeyDestPkgInfoId, asProfileKey[kKeyDestPkgInfoId].pKey, "the destination package InfoDriver",
     &SiteProfile::DestPkgInfoId},
    {kKeyLevelMapInfoId, asProfileKey[kKeyLevelMapInfoId].pKey, "the level map InfoDriver",
     &SiteProfile::LevelMapInfoId},
};

void CheckDatabaseSize(const ProfileSource& source, int iDevice, std::vector<Finding>* pFindings,
                       ProfileKeyId eKey, const char* pBoxWord, const char* pPackage, int* piSize)
{
    KeyText k;
    const char* pKey = asProfileKey[eKey].pKey;
    const KeyDecision d = DecideNumberKey(source, pFindings, eKey, iDevice, &k);
    *piSize = static_cast<int>(d.lValue);
    // A size not set would leave a driver that refuses every command: the
    // driver reports it as missing.
    if (d.eVerdict == kKeyNotSet) {
        std::string sWhy = !k.bPresent || k.bRefused    ? ""
                           : !StartsWithNumber(k.sDriver) ? "not a number, read as 0: "
                                                          : "below " + std::to_string(asProfileKey[eKey].iMin) + ": ";
        Add(pFindings, kError, k,
            sWhy + "the driver shows \"... the '" + pKey + "' parameter (" + pBoxWord +
                ") in it has not been set.\" and stops (no " + pPackage + " package could be taken)");
    } else if (d.eVerdict == kKeyBounded) {
        const std::string sMax = std::to_string(d.lValue);
        Add(pFindings, kWarning, k,
            "above " + sMax + ": the driver uses " + sMax + ", the size of its route index and lock tables");
    }
}

void CheckCombiner(const ProfileSource& source, int iDevice, SiteProfile* p, std::vector<Finding>* pFindings)
{
    KeyText k = ReadKey(source, kKeyName);
    CheckRefused(pFindings, k, "and writes nothing");
    if (DecideKey(kKeyName, k.bRefused ? nullptr : k.sDriver.c_str(), iDevice).eVerdict == kKeyWritten) {
        Add(pFindings, kNote, k,
            k.bPresent ? "shorter than " + std::to_string(asProfileKey[kKeyName].iMin) +
                             " characters: the driver writes " + Written(kKeyName) + " over it"
                       : "the driver writes " + Written(kKeyName) + " (no part of the driver uses the name)");
    }

    CheckDatabaseSize(source, iDevice, pFindings, kKeyDatabaseSize0, "sources", "source", &p->DatabaseSize_0);
    CheckDatabaseSize(source, iDevice, pFindings, kKeyDatabaseSize1, "destinations", "destination",
                      &p->DatabaseSize_1);

    KeyDecision d = DecideNumberKey(source, pFindings, kKeySaveDelay, iDevice, &k);
    if (d.eVerdict == kKeyWritten) {
        const std::string sWrite = "the driver writes " + Written(kKeySaveDelay);
        if (!k.bPresent) {
            Add(pFindings, kNote, k,
                sWrite + " (the route index is saved every " + asProfileKey[kKeySaveDelay].pWritten + " minutes)");
        } else if (StartsWithNumber(k.sDriver)) {
            Add(pFindings, kNote, k, "0 is replaced: " + sWrite + " over it");
        } else if (!k.bRefused) {
            Add(pFindings, kWarning, k, "not a number: " + sWrite + " over it");
        }
    } else if (d.lValue < 0) {
        Add(pFindings, kWarning, k,
            "negative: the route index is saved only when the driver ends, so routes made since its start are "
            "lost if it does not end normally");
    }
    p->SaveDelay = d.lValue;

    for (const InfoKey& info : asInfoKey) {
        d = DecideNumberKey(source, pFindings, info.eKey, iDevice, &k);
        if (d.eVerdict == kKeyWritten) {
            std::string sWrite =
                "the driver writes " + std::string(info.pKey) + "=" + d.acWritten;
            if (!k.bPresent) {
                Add(pFindings, kNote, k,
                    sWrite + " (device + " + std::to_string(asProfileKey[info.eKey].iDeviceOffset) + ")");
            } else {
                Add(pFindings, kWarning, k,
                    std::string(StartsWithNumber(k.sDriver) ? "0" : "not a number") + ": " + sWrite + " over it");
            }
        }
        p->*info.pSetting = static_cast<int>(d.lValue);
    }

    d = DecideNumberKey(source, pFindings, kKeyDebugMode, iDevice, &k);
    if (d.eVerdict == kKeyWritten) {
        Add(pFindings, kNote, k, "the driver writes " + Written(kKeyDebugMode) + " (no debug output)");
    } else if (d.lValue != 0) {
        Add(pFindings, kNote, k, "debug output is on: the driver writes diagnostic lines for every command");
    }
    p->DebugMode = static_cast<int>(d.lValue);

    d = DecideNumberKey(source, pFindings, kKeyNameLength, iDevice, &k);
    const int iWidth = static_cast<int>(d.lValue);
    const std::string sShown = std::to_string(ListColumnChars(iWidth));
    if (d.eVerdict == kKeyWritten) {
        Add(pFindings, kNote, k, "the driver writes " + Written(kKeyNameLength));
    } else if (iWidth < 1) {
        Add(pFindings, kNote, k, "below 1: the panel's lists use " + sShown + " characters per name");
    } else if (ListColumnChars(iWidth) != iWidth) {
        Add(pFindings, kNote, k, "above " + sShown + ": the panel's lists use " + sShown + " characters per name");
    }
    p->NameLength = iWidth;

    d = DecideNumberKey(source, pFindings, kKeyRevertiveLevel, iDevice, &k);
    if (d.eVerdict == kKeyWritten) {
        const std::string sEffect =
            "the driver writes " + Written(kKeyRevertiveLevel) + " (every take updates the route index)";
        if (!k.bPresent) {
            Add(pFindings, kNote, k, sEffect);
        } else {
            Add(pFindings, kWarning, k,
                "outside " + std::to_string(asProfileKey[kKeyRevertiveLevel].iMin) + ".." +
                    std::to_string(asProfileKey[kKeyRevertiveLevel].iMax) + ": the driver writes " +
                    Written(kKeyRevertiveLevel) + " over it (every take updates the route index)");
        }
    } else if (k.bPresent && !k.bRefused && !StartsWithNumber(k.sDriver)) {
        Add(pFindings, kWarning, k, "not a number, read as 0: every take updates the route index");
    }
    p->RevertiveLevel = static_cast<int>(d.lValue);

    if (DecideNumberKey(source, pFindings, kKeySimulation, iDevice, &k).eVerdict == kKeyWritten) {
        Add(pFindings, kNote, k, "the driver writes " + Written(kKeySimulation) + " (not used)");
    }

    k = ReadKey(source, kKeyExternalDll);
    std::snprintf(p->ExternalDLL, sizeof p->ExternalDLL, "%s", asProfileKey[kKeyExternalDll].pWritten);
    switch (DecideKey(kKeyExternalDll, k.bRefused ? nullptr : k.sDriver.c_str(), iDevice).eVerdict) {
    case kKeyTooLong:
        Add(pFindings, kError, k,
            "longer than " + std::to_string(kExternalDllMax) +
                " characters: the driver loads no library (a cut name could load another) and runs without a "
                "filter");
        break;
    case kKeyWritten:
        Add(pFindings, kNote, k, "the driver writes " + Written(kKeyExternalDll) + " (no filter library)");
        break;
    default:
        std::snprintf(p->ExternalDLL, sizeof p->ExternalDLL, "%s", k.sDriver.c_str());
        break;
    }

    k = ReadKey(source, kKeyJournalSize);
    int iKb = 0;
    p->JournalSize = 0;
    if (!CheckRefused(pFindings, k, "and keeps no take journal")) {
        d = DecideKey(kKeyJournalSize, k.sDriver.c_str(), iDevice);
        if (d.eVerdict == kKeyWritten) {
            p->JournalSize = static_cast<int>(d.lValue);
            Add(pFindings, kNote, k,
                "the driver writes " + Written(kKeyJournalSize) + " (a take journal of up to " + d.acWritten +
                    " KB)");
        } else if (ParseJournalSize(k.sDriver.c_str(), &iKb) != kJournalSizeNumber) {
            Add(pFindings, kWarning, k, "not a whole number of KB: the driver keeps no take journal");
        } else {
            p->JournalSize = iKb;
            if (iKb == 0) Add(pFindings, kNote, k, "0: the driver keeps no take journal");
        }
    }
}

// The InfoDriver ids: each a device number of its own.
void CheckInfoIds(int iDevice, const SiteProfile& p, std::vector<Finding>* pFindings)
{
    for (int i = 0; i < 3; ++i) {
        const InfoKey& info = asInfoKey[i];
        const int iId = p.*info.pSetting;
        const std::string sKey = std::string("[Combiner] ") + info.pKey;
        const std::string sValue = std::to_string(iId);
        if (iId < 1 || iId > kDeviceMax) {
            AddFinding(pFindings, kError, sKey, sValue,
                       "outside 1..999: no InfoDriver can have this number, so the driver cannot link " +
                           std::string(info.pWhat) + " and stops at start");
        } else if (iId == iDevice) {
            AddFinding(pFindings, kError, sKey, sValue,
                       "the driver's own device number: it cannot link " + std::string(info.pWhat) +
                           " and stops at start");
        }
        for (int j = 0; j < i; ++j) {
            if (p.*asInfoKey[j].pSetting != iId) continue;
            AddFinding(pFindings, kError, sKey, sValue,
                       std::string("the same InfoDriver as ") + asInfoKey[j].pKey + ": " + info.pWhat +
                           " would be read from the slots of " + asInfoKey[j].pWhat);
        }
    }
}

// ---- [Levels]

const char* KindName(int iKind)
{
    switch (iKind) {
    case 1:
        return "route";
    case 2:
        return "general switch";
    default:
        return "InfoDriver write";
    }
}

// The device a level's commands go to.
void CheckLevelTarget(int iDevice, const SiteProfile& p, int n, const std::string& sKey, const std::string& sText,
                      Severity eSeverity, const std::string& sPrefix, std::vector<Finding>* pFindings)
{
    const int iTarget = p.sLevel[n].iTarget;
    std::string sProblem;
    if (iTarget < 1 || iTarget > kDeviceMax) {
        sProblem = "the target device " + std::to_string(iTarget) +
                   " is outside 1..999 (the number is read from the fifth character on)";
    } else if (iTarget == iDevice) {
        sProblem = "the target device is this driver itself";
    } else {
        for (const InfoKey& info : asInfoKey) {
            if (p.*info.pSetting == iTarget) {
                sProblem = "the target device " + std::to_string(iTarget) + " is " + info.pWhat + " (" + info.pKey +
                           ")";
                break;
            }
        }
    }
    if (sProblem.empty()) return;
    AddFinding(pFindings, eSeverity, sKey, sText,
               sPrefix + sProblem + ": the level's " + KindName(p.sLevel[n].iKind) + " commands go there");
}

void CheckLevels(const ProfileSource& source, int iDevice, SiteProfile* p, std::vector<Finding>* pFindings)
{
    std::vector<int> aiDefault;
    for (int n = 1; n <= kLevelCount; ++n) {
        KeyText k = ReadKey(source, kLevelsSection, LevelKey(n).ac, kNumberedKeyMissing);
        LevelEntry& sL = p->sLevel[n];
        if (CheckRefused(pFindings, k, "so the level never issues a command")) {
            ParseLevelText(nullptr, &sL.iType, &sL.iKind, &sL.iTarget);
            p->abLevelSet[n] = 1;
            continue;
        }
        if (k.sDriver == kNumberedKeyMissing) {
            const DefaultText text = DefaultLevelText(n);
            const char* acDefault = text.ac;
            ParseLevelText(acDefault, &sL.iType, &sL.iKind, &sL.iTarget);
            p->abLevelSet[n] = 0;
            aiDefault.push_back(n);
            CheckLevelTarget(iDevice, *p, n, k.sKey, acDefault, kWarning,
                             std::string(k.bPresent ? kNumberedKeyMissing : "not set") + ": the driver writes " + acDefault +
                                 " and ",
                             pFindings);
            continue;
        }
        p->abLevelSet[n] = 1;
        ParseLevelText(k.sDriver.c_str(), &sL.iType, &sL.iKind, &sL.iTarget);
        const std::string& s = k.sDriver;
        if (sL.iKind == 0) {
            std::string sLetter = s.size() >= 3 ? "'" + s.substr(2, 1) + "'" : "missing";
            Add(pFindings, kError, k,
                "the kind (third character) is " + sLetter +
                    ", not R (route), G (general switch) or I (InfoDriver write), upper case: the level never "
                    "issues a command");
            continue;
        }
        if (sL.iType == 0) {
            Add(pFindings, kError, k,
                "the direction (first character) is '" + s.substr(0, 1) +
                    "', not F or R (upper case): the driver takes the level as reverse");
        }
        CheckLevelTarget(iDevice, *p, n, k.sKey, k.sWhole, kError, "", pFindings);
        if (s.size() >= 5 && !IsWholeNumber(s.substr(4)) && StartsWithNumber(s.substr(4))) {
            Add(pFindings, kWarning, k,
                "text after the device number is ignored: the target device is " + std::to_string(sL.iTarget));
        }
        // The driver writes F,R,32 itself when the key is missing: every
        // site that has run once holds it, and it is a note there. Anything
        // else was configured by someone who expects level 32 to switch.
        if (n == kLevelCount) {
            Add(pFindings, s == DefaultLevelText(kLevelCount).ac ? kNote : kWarning, k,
                "level 32 never receives a value from a package slot (the driver reads 31 fields): it never "
                "issues a command");
        }
    }
    if (!aiDefault.empty()) {
        AddMissing(pFindings, kNote, "[Levels] " + KeyRanges("Level", aiDefault),
                   "not set: the driver writes F,R,n for each (level n routes on device n)");
    }
}

// ---- [Masks]

// The levels of a mask text, as the driver walks them, with a finding for
// each field that does not do what it seems to.
void CheckMaskLevels(const KeyText& k, const std::vector<std::string>& asField, std::vector<Finding>* pFindings)
{
    bool abSeen[kLevelCount + 1] = {};
    const size_t nLast = asField.size() - 1;
    for (size_t i = 1; i < asField.size(); ++i) {
        const std::string& sField = asField[i];
        if (i > static_cast<size_t>(kLevelCount)) {
            Add(pFindings, kError, k,
                "only 32 level numbers are read: " + QuotedText(sField) + " and the fields after it are never read");
            return;
        }
        int iLevel = ConvertNumber(sField.c_str());
        if (iLevel == 0) {
            if (i < nLast) {
                Add(pFindings, kError, k,
                    "the list of levels ends at " + QuotedText(sField) +
                        " (no level number): the fields after it are never read");
            } else if (!IsWholeNumber(sField)) {
                Add(pFindings, kWarning, k, QuotedText(sField) + " is no level number: it ends the list");
            }
            return;
        }
        if (!IsWholeNumber(sField)) {
            Add(pFindings, kWarning, k,
                QuotedText(sField) + " is read as level " + std::to_string(iLevel) + ": the rest is ignored");
        }
        if (iLevel < 1 || iLevel > kLevelCount) {
            Add(pFindings, kError, k, "level " + std::to_string(iLevel) + " does not exist (1..32): passed over");
            continue;
        }
        if (iLevel == kLevelCount) {
            Add(pFindings, kWarning, k,
                "level 32 never receives a value from a package slot: including it switches nothing (it counts "
                "only for RevertiveLevel=32)");
        }
        if (abSeen[iLevel]) {
            Add(pFindings, kNote, k, "level " + std::to_string(iLevel) + " is listed twice");
        }
        abSeen[iLevel] = true;
    }
}

// A take selects a mask by comparing its mask text with the name exactly,
// blanks included; the profile functions strip the blanks around a value
// only, so "Mask_01 = VISION , 1" names the mask "VISION ". A blank at either
// end, or a control character, is kept in the name but is not what an
// engineer types: the finding says which mask text selects it.
void CheckMaskNameText(const KeyText& k, const std::string& sName, std::vector<Finding>* pFindings)
{
    const bool bBlankEnd = !sName.empty() && (sName.front() == ' ' || sName.front() == '\t' ||
                                              sName.back() == ' ' || sName.back() == '\t');
    std::string sControl;
    for (unsigned char c : sName) {
        if ((c < 0x20 && c != '\t') || c == 0x7f) {
            char acCode[8];
            std::snprintf(acCode, sizeof acCode, "0x%02X", c);
            sControl = acCode;
            break;
        }
    }
    if (!bBlankEnd && sControl.empty()) return;
    const std::string sTrimmed = Trimmed(sName);
    const std::string sWhy = bBlankEnd ? "the name " + QuotedText(sName) + " has a blank at its start or end, which the driver "
                                   "keeps"
                                 : "the name holds the control character " + sControl + ", which a typed command "
                                   "cannot carry";
    Add(pFindings, kWarning, k,
        sWhy + ": only a take whose mask text is '" + sName + "' exactly selects this mask" +
            (bBlankEnd ? ", and '" + sTrimmed + "' selects no mask (the take records the route and sends no level "
                         "command)"
                       : ""));
}

void CheckMasks(const ProfileSource& source, SiteProfile* p, std::vector<Finding>* pFindings)
{
    std::vector<int> aiDefault;
    std::vector<KeyText> aKey(kMaskCount + 1);
    for (int n = 1; n <= kMaskCount; ++n) {
        KeyText& k = aKey[n];
        k = ReadKey(source, kMasksSection, MaskKey(n).ac, kNumberedKeyMissing);
        MaskEntry& sM = p->sMask[n];
        sM.acName[0] = '\0';
        if (CheckRefused(pFindings, k, "so the mask has no name and includes no level")) {
            ParseMaskText(nullptr, &sM);
            continue;
        }
        if (k.sDriver == kNumberedKeyMissing) {
            ParseMaskText(DefaultMaskText(n).ac, &sM);
            aiDefault.push_back(n);
            continue;
        }
        ParseMaskText(k.sDriver.c_str(), &sM);
        const std::string& s = k.sDriver;
        if (s.empty()) {
            Add(pFindings, kNote, k, "empty: the mask has no name and is never selected");
            continue;
        }
        std::vector<std::string> asField = ProfileFields(s);
        if (s[0] == ',') {
            Add(pFindings, asField.empty() ? kNote : kError, k,
                "begins with a comma: the mask has no name, its levels are never read and it is never selected");
            continue;
        }
        const std::string& sName = asField[0];
        if (sName.size() > static_cast<size_t>(kMaskNameMax)) {
            Add(pFindings, kError, k,
                "the name has " + std::to_string(sName.size()) + " characters; the driver keeps and compares 32, " +
                    QuotedText(sM.acName) + ": a take naming the whole name selects no mask");
        }
        if (sName[0] >= '0' && sName[0] <= '9') {
            Add(pFindings, kError, k,
                "the name begins with a digit: a take's mask text that begins with a digit is read as a list of "
                "levels, so this mask is never selected");
        }
        if (std::strcmp(sM.acName, "---") == 0) {
            Add(pFindings, kNote, k,
                "the panel's Take sends the mask ',---', so it selects this mask: takes from the panel switch its "
                "levels");
        }
        if (sName.find('\'') != std::string::npos) {
            Add(pFindings, kError, k,
                "the name holds a quote, which ends the mask field of a router command: no take can name it");
        } else {
            CheckMaskNameText(k, sM.acName, pFindings);
        }
        CheckMaskLevels(k, asField, pFindings);
        if (asField.size() == 1) {
            Add(pFindings, kNote, k,
                "no level: a take with this mask only updates the route index and sends the revertive");
        }
    }
    for (int n = 2; n <= kMaskCount; ++n) {
        const MaskEntry& sM = p->sMask[n];
        if (sM.acName[0] == '\0') continue;
        for (int i = 1; i < n; ++i) {
            if (std::strcmp(p->sMask[i].acName, sM.acName) != 0) continue;
            std::string sEffect = "the same name as " + std::string(MaskKey(i).ac) +
                                  ", which a take finds first: this mask is never selected";
            if (aKey[n].sDriver == kNumberedKeyMissing) {
                AddFinding(pFindings, kError, aKey[n].sKey, sM.acName,
                           "not set, so the driver writes this name: " + sEffect);
            } else {
                Add(pFindings, kError, aKey[n], sEffect);
            }
            break;
        }
    }
    if (!aiDefault.empty()) {
        AddMissing(pFindings, kNote, "[Masks] " + KeyRanges("Mask", aiDefault),
                   "not set: the driver writes MASKNAME_nn,1,2,3,4,5,6,7,8 for each");
    }
}

// ---- RevertiveLevel against the levels and masks

void CheckRevertiveLevel(const SiteProfile& p, std::vector<Finding>* pFindings)
{
    const int iLevel = p.RevertiveLevel;
    if (iLevel < 1 || iLevel > kLevelCount) return;
    const std::string sKey = "[Combiner] RevertiveLevel";
    const std::string sValue = std::to_string(iLevel);
    if (!p.abLevelSet[iLevel] || p.sLevel[iLevel].iKind == 0) {
        AddFinding(pFindings, kWarning, sKey, sValue,
                   "level " + sValue + " is not defined in [Levels] (the driver gives it F,R," + sValue +
                       "), yet only takes that include it update the route index and send the revertive");
    }
    for (int n = 1; n <= kMaskCount; ++n) {
        if (p.sMask[n].acName[0] != '\0' && p.sMask[n].aiLevels[iLevel] == 1) return;
    }
    AddFinding(pFindings, kWarning, sKey, sValue,
               "no mask includes level " + sValue +
                   ": a take by mask name never updates the route index or sends the revertive");
}

// ---- [Security] Access

// Why one field of an access list grants less than it seems to. Reads the
// (upper-cased) field as the driver does: a range is "%d-%d", anything else
// a number. The findings name the field as the profile writes it.
void CheckAccessField(const KeyText& kList, const std::string& sField, const std::string& sAsWritten,
                      std::vector<Finding>* pFindings)
{
    KeyText k = kList;
    k.sKey += ", field";
    k.sWhole = sAsWritten;
    std::vector<int> abGranted(kWorkstationMax + 1, 0);
    ParseAccessText(sField.c_str(), abGranted.data());
    int nGranted = 0;
    for (int n = 1; n <= kWorkstationMax; ++n) nGranted += abGranted[n];
    const std::string sOutside = "grants nothing: a list grants workstations 1..999 (1000 only through ALL)";

    if (sField.find('-') == std::string::npos) {
        const int iNumber = ConvertNumber(sField.c_str());
        if (!StartsWithNumber(sField)) {
            Add(pFindings, kError, k, "no workstation number: grants nothing");
        } else if (iNumber == 0) {
            Add(pFindings, kNote, k, "workstation 0 (the panel) may always operate the driver");
        } else if (nGranted == 0) {
            Add(pFindings, kError, k, sOutside);
        } else if (!IsWholeNumber(sField)) {
            Add(pFindings, kWarning, k, "read as workstation " + std::to_string(iNumber) + ": the rest is ignored");
        }
        return;
    }

    // A range: the first number, a "-" right after it, the second number.
    const std::string sTrim = Trimmed(sField);
    size_t i = 0;
    if (i < sTrim.size() && (sTrim[i] == '+' || sTrim[i] == '-')) ++i;
    const size_t iDigits = i;
    while (i < sTrim.size() && sTrim[i] >= '0' && sTrim[i] <= '9') ++i;
    if (i == iDigits) {
        Add(pFindings, kError, k, "grants nothing: a range needs a first number (first-last)");
        return;
    }
    if (i >= sTrim.size() || sTrim[i] != '-') {
        Add(pFindings, kError, k, "grants nothing: the \"-\" of a range must follow the first number");
        return;
    }
    const std::string sSecond = sTrim.substr(i + 1);
    if (!StartsWithNumber(sSecond)) {
        Add(pFindings, kError, k, "grants nothing: the second number of the range cannot be read");
        return;
    }
    const int iFirst = ConvertNumber(sTrim.c_str());
    const int iLast = ConvertNumber(sSecond.c_str());
    if (nGranted == 0) {
        Add(pFindings, kError, k, iFirst > iLast ? "grants nothing: the range runs backwards" : sOutside);
        return;
    }
    if (iFirst < 1 || iLast > kListAccessMax) {
        const int iFrom = iFirst < 1 ? 1 : iFirst;
        const int iTo = iLast > kListAccessMax ? kListAccessMax : iLast;
        Add(pFindings, kWarning, k,
            "grants only " + std::to_string(iFrom) + "-" + std::to_string(iTo) +
                ": a list grants workstations 1..999 (1000 only through ALL)");
    }
    if (!IsWholeNumber(sSecond)) {
        Add(pFindings, kWarning, k,
            "read as " + std::to_string(iFirst) + "-" + std::to_string(iLast) + ": the rest is ignored");
    }
}

void CheckAccess(const ProfileSource& source, SiteProfile* p, std::vector<Finding>* pFindings)
{
    KeyText k = ReadKey(source, kKeyAccess);
    if (CheckRefused(pFindings, k, "so only the panel (workstation 0) may operate the driver")) {
        ParseAccessText("", p->abAccess);
        return;
    }
    const std::string sUpper = Upper(k.sDriver);
    ParseAccessText(sUpper.c_str(), p->abAccess);
    if (!k.bPresent) {
        Add(pFindings, kNote, k, "the driver writes " + Written(kKeyAccess) + " (every workstation may operate it)");
        return;
    }
    if (sUpper.find("ALL") != std::string::npos) {
        if (Trimmed(sUpper) != "ALL") {
            Add(pFindings, kWarning, k,
                "holds \"ALL\" (upper or lower case): every workstation 1..1000 may operate the driver, whatever "
                "else the list says");
        }
        return;
    }
    // Upper-casing keeps every character in its place, so the fields of
    // both texts pair up.
    const std::vector<std::string> asField = ProfileFields(sUpper);
    const std::vector<std::string> asWritten = ProfileFields(k.sDriver);
    for (size_t i = 0; i < asField.size(); ++i) CheckAccessField(k, asField[i], asWritten[i], pFindings);
    int nGranted = 0;
    for (int n = 1; n <= kWorkstationMax; ++n) nGranted += p->abAccess[n];
    if (nGranted == 0) {
        Add(pFindings, kWarning, k, "no workstation but the panel (workstation 0) may operate the driver");
    }
}

// ---- sections and keys the driver never reads

struct KnownSection {
    const char* pName;
    std::vector<std::string> asKey;
};

bool SameName(const std::string& a, const std::string& b)
{
    return Upper(a) == Upper(b);
}

void CheckUnknownNames(const ProfileSource& source, std::vector<Finding>* pFindings)
{
    // The sections and keys the driver reads: those of the table of profile
    // keys, and the numbered keys of levels and masks.
    std::vector<KnownSection> aKnown;
    auto fnSection = [&aKnown](const char* pSection) -> KnownSection& {
        for (KnownSection& known : aKnown) {
            if (std::strcmp(known.pName, pSection) == 0) return known;
        }
        aKnown.push_back({pSection, {}});
        return aKnown.back();
    };
    for (const ProfileKey& key : asProfileKey) fnSection(key.pSection).asKey.push_back(key.pKey);
    for (int n = 1; n <= kLevelCount; ++n) fnSection(kLevelsSection).asKey.push_back(LevelKey(n).ac);
    for (int n = 1; n <= kMaskCount; ++n) fnSection(kMasksSection).asKey.push_back(MaskKey(n).ac);
    for (const std::string& sSection : source.fnNames(nullptr)) {
        const KnownSection* pKnown = nullptr;
        for (const KnownSection& known : aKnown) {
            if (SameName(known.pName, sSection)) pKnown = &known;
        }
        if (pKnown == nullptr) {
            std::string sKeys;
            for (const std::string& sKey : source.fnNames(sSection.c_str())) {
                sKeys += (sKeys.empty() ? "" : ", ") + sKey;
            }
            AddFinding(pFindings, kWarning, "[" + sSection + "]", sKeys,
                       "the driver reads no section of this name: its keys take no effect");
            continue;
        }
        for (const std::string& sKey : source.fnNames(sSection.c_str())) {
            bool bKnown = false;
            for (const std::string& sName : pKnown->asKey) bKnown = bKnown || SameName(sName, sKey);
            if (bKnown) continue;
            std::string sValue;
            source.fnWhole(sSection.c_str(), sKey.c_str(), &sValue);
            AddFinding(pFindings, kWarning, "[" + sSection + "] " + sKey, sValue,
                       "the driver never reads this key: it takes no effect");
        }
    }
}

}  // namespace

void CheckDeviceProfile(const ProfileSource& source, int iDevice, SiteProfile* pProfile,
                        std::vector<Finding>* pFindings)
{
    std::memset(pProfile, 0, sizeof *pProfile);
    pProfile->iDevice = iDevice;
    CheckCombiner(source, iDevice, pProfile, pFindings);
    CheckInfoIds(iDevice, *pProfile, pFindings);
    CheckLevels(source, iDevice, pProfile, pFindings);
    CheckMasks(source, pProfile, pFindings);
    CheckRevertiveLevel(*pProfile, pFindings);
    CheckAccess(source, pProfile, pFindings);
    CheckUnknownNames(source, pFindings);
}

void CheckExternalDll(const SiteProfile& profile, DllProbe eProbe, const std::string& sDetail,
                      std::vector<Finding>* pFindings)
{
    const std::string sKey = "[Combiner] ExternalDLL";
    const std::string sName = profile.ExternalDLL;
    switch (eProbe) {
    case kDllNotNeeded:
        return;
    case kDllNotFound: {
        std::string sHint = Upper(sName) == kNoLibrary ? "; only NONE in capitals means no library" : "";
        AddFinding(pFindings, kError, sKey, sName,
                   "not found where the driver looks (beside the driver's program, the system directories, the "
                   "current directory, PATH): the driver runs without a filter" + sHint);
        return;
    }
    case kDllOtherPlatform:
        AddFinding(pFindings, kWarning, sKey, sName,
                   "found, but built for another platform than this checker (" + sDetail +
                       "): check it with the checker built for the driver's platform");
        return;
    case kDllNotLoaded:
        AddFinding(pFindings, kError, sKey, sName,
                   "found but cannot be loaded (" + sDetail + "): the driver runs without a filter");
        return;
    case kDllNoFilter:
        AddFinding(pFindings, kError, sKey, sName,
                   "loaded from " + sDetail +
                       ", but it exports no combinerOutputFilter: the driver sends every level command unfiltered");
        return;
    case kDllFilter:
        AddFinding(pFindings, kNote, sKey, sName,
                   "loaded from " + sDetail + "; its combinerOutputFilter sees every level command");
        return;
    }
}
