#include "config/profile_text.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/limits.h"
#include "core/tokenizer.h"

namespace {


bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// scanf-style integer: returns 1 and the saturated value, or 0 when no digit
// follows the optional sign. *ppEnd is set past the digits read.
int ScanNumber(const char* pText, long long llMin, long long llMax, long long* pllValue,
               const char** ppEnd)
{
    const char* p = pText;
    while (IsSpace(*p)) ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-') {
        bNegative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;
    // The magnitude is held unsigned and stops growing at the cap.
    const unsigned long long ullCap = bNegative
        ? static_cast<unsigned long long>(-(llMin + 1)) + 1
        : static_cast<unsigned long long>(llMax);
    unsigned long long ullValue = 0;
    p = ScanDecimal(p, ullCap, &ullValue);
    if (!bNegative) *pllValue = static_cast<long long>(ullValue);
    else if (ullValue == ullCap) *pllValue = llMin;
    else *pllValue = -static_cast<long long>(ullValue);
    if (ppEnd != nullptr) *ppEnd = p;
    return 1;
}

// Walks the comma-separated fields of a text, skipping empty ones (runs of
// commas count as one separator). Returns 0 when no field is left; the field
// is not terminated in the text, so it is given by start and length.
int NextField(const char** ppScan, const char** ppField, size_t* pnLength)
{
    const char* p = *ppScan;
    while (*p == ',') ++p;
    if (*p == '\0') {
        *ppScan = p;
        return 0;
    }
    const char* pStart = p;
    while (*p != '\0' && *p != ',') ++p;
    *ppField = pStart;
    *pnLength = static_cast<size_t>(p - pStart);
    *ppScan = p;
    return 1;
}

}  // namespace

int ScanInt(const char* pText, int* piValue)
{
    long long llValue = 0;
    if (pText == nullptr || !ScanNumber(pText, INT_MIN, INT_MAX, &llValue, nullptr)) return 0;
    *piValue = static_cast<int>(llValue);
    return 1;
}

int ScanLong(const char* pText, long* plValue)
{
    long long llValue = 0;
    if (pText == nullptr || !ScanNumber(pText, LONG_MIN, LONG_MAX, &llValue, nullptr)) return 0;
    *plValue = static_cast<long>(llValue);
    return 1;
}

// Read by character position: type letter, separator, kind letter,
// separator, then the target device number.
void ParseLevelText(const char* pText, int* piType, int* piKind, int* piTarget)
{
    *piType = 0;
    *piKind = 0;
    *piTarget = 0;
    if (pText == nullptr) return;
    size_t nLen = 0;
    while (nLen < 5 && pText[nLen] != '\0') ++nLen;
    if (nLen >= 1) {
        if (pText[0] == 'F') *piType = kForward;
        else if (pText[0] == 'R') *piType = kReverse;
    }
    if (nLen >= 3) {
        if (pText[2] == 'R') *piKind = kRouteLevel;
        else if (pText[2] == 'G') *piKind = kSwitchLevel;
        else if (pText[2] == 'I') *piKind = kInfoWriteLevel;
    }
    if (nLen >= 5) *piTarget = ConvertNumber(pText + 4);
}

// The name is cut to the 32 characters acName holds; level numbers outside
// 1..32 have no entry and are passed over.
void ParseMaskText(const char* pText, MaskEntry* pMask)
{
    for (int n = 1; n <= kLevelCount; ++n) pMask->aiLevels[n] = -1;
    if (pText == nullptr || pText[0] == '\0' || pText[0] == ',') return;

    const char* pScan = pText;
    const char* pField = nullptr;
    size_t nLength = 0;
    if (!NextField(&pScan, &pField, &nLength)) return;
    const size_t nNameMax = sizeof pMask->acName - 1;
    if (nLength > nNameMax) nLength = nNameMax;
    std::memcpy(pMask->acName, pField, nLength);
    pMask->acName[nLength] = '\0';

    for (int iRead = 0; iRead < kLevelCount; ++iRead) {
        if (!NextField(&pScan, &pField, &nLength)) break;
        // The number ends at the comma at the latest, so the field needs no copy.
        int iLevel = ConvertNumber(pField);
        if (iLevel == 0) break;
        if (iLevel >= 1 && iLevel <= kLevelCount) pMask->aiLevels[iLevel] = 1;
    }
}

void GrantAccessIn(int* abAccess, int n)
{
    if (n >= 1 && n <= kListAccessMax) abAccess[n] = 1;
}

// Fields are read where they stand in the text, whatever their length. A
// range needs both numbers ("%d-%d"); one whose second number cannot be read
// grants nothing. Ranges are walked over the grantable numbers only, so a
// huge range costs no more than 1..999.
void ParseAccessText(const char* pUpperText, int* abAccess)
{
    for (int n = 1; n <= kWorkstationMax; ++n) abAccess[n] = 0;
    abAccess[0] = 1;
    if (pUpperText == nullptr) return;
    if (std::strstr(pUpperText, "ALL") != nullptr) {
        for (int n = 1; n <= kWorkstationMax; ++n) abAccess[n] = 1;
        return;
    }

    const char* pScan = pUpperText;
    const char* pField = nullptr;
    size_t nLength = 0;
    while (NextField(&pScan, &pField, &nLength)) {
        if (std::memchr(pField, '-', nLength) == nullptr) {
            GrantAccessIn(abAccess, ConvertNumber(pField));
            continue;
        }
        long long llFirst = 0;
        long long llLast = 0;
        const char* pEnd = nullptr;
        if (!ScanNumber(pField, INT_MIN, INT_MAX, &llFirst, &pEnd)) continue;
        if (pEnd >= pField + nLength || *pEnd != '-') continue;
        if (!ScanNumber(pEnd + 1, INT_MIN, INT_MAX, &llLast, nullptr)) continue;
        if (llFirst < 1) llFirst = 1;
        if (llLast > kListAccessMax) llLast = kListAccessMax;
        for (long long n = llFirst; n <= llLast; ++n) GrantAccessIn(abAccess, static_cast<int>(n));
    }
}

const char kNoLibrary[] = "NONE";

const ProfileKey asProfileKey[kProfileKeyCount] = {
    {"Combiner", "Name", "-1", "Default", 0, kParseText, kRuleShortText, 3, 0},
    {"Database", "DatabaseSize_0", "-1", nullptr, 0, kParseInt, kRuleSize, 1, kPackageMax},
    {"Database", "DatabaseSize_1", "-1", nullptr, 0, kParseInt, kRuleSize, 1, kPackageMax},
    {"Combiner", "SaveDelay", "0", "5", 0, kParseLong, kRuleNotZero, 0, 0},
    {"Combiner", "SrcePkgInfoId", "0", nullptr, 1, kParseInt, kRuleNotZero, 0, 0},
    {"Combiner", "DestPkgInfoId", "0", nullptr, 2, kParseInt, kRuleNotZero, 0, 0},
    {"Combiner", "LevelMapInfoId", "0", nullptr, 3, kParseInt, kRuleNotZero, 0, 0},
    {"Combiner", "DebugMode", "-1", "0", 0, kParseInt, kRuleMissing, 0, 0},
    {"Combiner", "NameLength", "-1", "8", 0, kParseInt, kRuleMissing, 0, 0},
    {"Combiner", "RevertiveLevel", "-1", "0", 0, kParseInt, kRuleWithin, 0, kLevelCount},
    {"Combiner", "Simulation", "-1", "0", 0, kParseInt, kRuleMissing, 0, 0},
    {"Combiner", "ExternalDLL", "default", kNoLibrary, 0, kParseText, kRuleMissing, 0, kExternalDllMax},
    {"Combiner", "JournalSize", "default", "1024", 0, kParseText, kRuleMissing, 0, 0},
    {"Security", "Access", "ALL", "ALL", 0, kParseText, kRuleMissing, 0, 0},
};

KeyDecision DecideKey(ProfileKeyId eKey, const char* pValue, int iDevice)
{
    const ProfileKey& key = asProfileKey[eKey];
    KeyDecision d = {kKeyUsed, 0, 0, ""};
    bool bReplace = false;
    if (key.eParser != kParseText) {
        if (key.eParser == kParseLong) {
            ScanLong(pValue, &d.lValue);
        } else {
            int iValue = 0;
            ScanInt(pValue, &iValue);
            d.lValue = iValue;
        }
        d.lRead = d.lValue;
        switch (key.eRule) {
        case kRuleMissing: bReplace = d.lValue == ConvertNumber(key.pMissing); break;
        case kRuleNotZero: bReplace = d.lValue == 0; break;
        case kRuleWithin: bReplace = d.lValue < key.iMin || d.lValue > key.iMax; break;
        case kRuleSize:
            if (d.lValue < key.iMin) {
                d.eVerdict = kKeyNotSet;
            } else if (d.lValue > key.iMax) {
                d.eVerdict = kKeyBounded;
                d.lValue = key.iMax;
            }
            break;
        case kRuleShortText: break;
        }
    } else if (pValue == nullptr) {
        d.eVerdict = key.iMax > 0 ? kKeyTooLong : kKeyRefused;
    } else if (key.eRule == kRuleShortText) {
        bReplace = std::strlen(pValue) < static_cast<size_t>(key.iMin);
    } else if (std::strcmp(pValue, key.pMissing) == 0) {
        bReplace = true;
    } else if (key.iMax > 0 && std::strlen(pValue) > static_cast<size_t>(key.iMax)) {
        d.eVerdict = kKeyTooLong;
    }
    if (bReplace) {
        d.eVerdict = kKeyWritten;
        if (key.pWritten != nullptr) {
            std::snprintf(d.acWritten, sizeof d.acWritten, "%s", key.pWritten);
        } else {
            std::snprintf(d.acWritten, sizeof d.acWritten, "%d", iDevice + key.iDeviceOffset);
        }
        d.lValue = ConvertNumber(d.acWritten);
    }
    return d;
}

int ListColumnChars(int iNameLength)
{
    if (iNameLength < 1) return 8;
    return iNameLength > kShownNameMax ? kShownNameMax : iNameLength;
}

const char kLevelsSection[] = "Levels";
const char kMasksSection[] = "Masks";
const char kNumberedKeyMissing[] = "NONE";

namespace {

// The text of pFormat with the one number n, in a text of type T.
template <typename T>
T WithNumber(const char* pFormat, int n)
{
    T text;
    std::snprintf(text.ac, sizeof text.ac, pFormat, n);
    return text;
}

}  // namespace

DefaultText DefaultLevelText(int n)
{
    return WithNumber<DefaultText>("F,R,%d", n);
}

DefaultText DefaultMaskText(int n)
{
    return WithNumber<DefaultText>("MASKNAME_%02d,1,2,3,4,5,6,7,8", n);
}

NumberedKey LevelKey(int n)
{
    return WithNumber<NumberedKey>("Level_%02d", n);
}

NumberedKey MaskKey(int n)
{
    return WithNumber<NumberedKey>("Mask_%02d", n);
}
