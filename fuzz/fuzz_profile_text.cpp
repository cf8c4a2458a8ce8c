// Value texts of the device profile: scanf-style numbers, level texts, mask
// texts, the access list and the debug line.
//
// Properties: numbers saturate like strtoll clamped to the type and report
// "no number" exactly when no digit follows the optional sign; a level text
// gives a type, kind and target of its own characters only; a mask keeps a
// terminated name of at most 32 characters (the old name when the text is
// empty or begins with a comma) and marks exactly the levels of its list; the
// access table holds 0 or 1 everywhere, entry 0 always granted, entry 1000
// only by "ALL", and equals a reference reading of the list; the debug line
// is terminated within its 256 bytes and ends with its newline.
#include "config/profile_text.h"
#include "core/log.h"
#include "core/tokenizer.h"

#include <cctype>
#include <climits>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

// scanf "%d" read through strtoll: a number needs a digit after the blanks
// and the sign.
bool ReferenceScan(const std::string& s, long long llMin, long long llMax, long long* pll)
{
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    long long ll = std::strtoll(s.c_str(), nullptr, 10);
    *pll = ll < llMin ? llMin : ll > llMax ? llMax : ll;
    return true;
}

// Non-empty comma-separated fields.
std::vector<std::string> Fields(const std::string& s)
{
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < s.size()) {
        size_t j = s.find(',', i);
        if (j == std::string::npos) j = s.size();
        if (j > i) fields.push_back(s.substr(i, j - i));
        i = j + 1;
    }
    return fields;
}

void CheckNumbers(const std::string& s, const char* pText)
{
    long long llExpected = 0;
    int iValue = 12345;
    int bRead = ScanInt(pText, &iValue);
    FUZZ_CHECK(bRead == (ReferenceScan(s, INT_MIN, INT_MAX, &llExpected) ? 1 : 0));
    FUZZ_CHECK(bRead ? iValue == llExpected : iValue == 12345);
    long lValue = 12345;
    bRead = ScanLong(pText, &lValue);
    FUZZ_CHECK(bRead == (ReferenceScan(s, LONG_MIN, LONG_MAX, &llExpected) ? 1 : 0));
    FUZZ_CHECK(bRead ? lValue == llExpected : lValue == 12345);
}

void CheckLevel(const std::string& s, const char* pText)
{
    int iType = -7, iKind = -7, iTarget = -7;
    ParseLevelText(pText, &iType, &iKind, &iTarget);
    FUZZ_CHECK(iType >= 0 && iType <= 2);
    FUZZ_CHECK(iKind >= 0 && iKind <= 3);
    FUZZ_CHECK(iType == (s.size() >= 1 && s[0] == 'F' ? 1 : s.size() >= 1 && s[0] == 'R' ? 2 : 0));
    FUZZ_CHECK(iKind == (s.size() < 3 ? 0 : s[2] == 'R' ? 1 : s[2] == 'G' ? 2 : s[2] == 'I' ? 3 : 0));
    FUZZ_CHECK(iTarget == (s.size() >= 5 ? ConvertNumber(s.c_str() + 4) : 0));
}

void CheckMask(const std::string& s, const char* pText)
{
    std::unique_ptr<MaskEntry> pMask(new MaskEntry);
    std::strcpy(pMask->acName, "previous");
    for (int n = 0; n <= kLevelCount; ++n) pMask->aiLevels[n] = 7;
    ParseMaskText(pText, pMask.get());

    size_t nName = BoundedLength(pMask->acName, sizeof pMask->acName);
    FUZZ_CHECK(pMask->aiLevels[0] == 7);   // index 0 is not a level
    std::vector<int> aiExpected(kLevelCount + 1, -1);
    if (s.empty() || s[0] == ',') {
        FUZZ_CHECK(std::strcmp(pMask->acName, "previous") == 0);
    } else {
        const std::vector<std::string> fields = Fields(s);
        FUZZ_CHECK(std::string(pMask->acName, nName) == fields[0].substr(0, 32));
        for (size_t i = 1; i < fields.size() && i <= static_cast<size_t>(kLevelCount); ++i) {
            int iLevel = ConvertNumber(fields[i].c_str());
            if (iLevel == 0) break;
            if (iLevel >= 1 && iLevel <= kLevelCount) aiExpected[iLevel] = 1;
        }
    }
    for (int n = 1; n <= kLevelCount; ++n) FUZZ_CHECK(pMask->aiLevels[n] == aiExpected[n]);
}

void CheckAccess(const std::string& s)
{
    std::string upper(s);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::unique_ptr<char[]> pUpper = HeapText(reinterpret_cast<const uint8_t*>(upper.data()), upper.size());
    std::unique_ptr<int[]> abAccess(new int[1001]);
    for (int n = 0; n <= 1000; ++n) abAccess[n] = 5;
    ParseAccessText(pUpper.get(), abAccess.get());

    std::vector<int> abExpected(1001, 0);
    abExpected[0] = 1;
    if (upper.find("ALL") != std::string::npos) {
        for (int n = 1; n <= 1000; ++n) abExpected[n] = 1;
    } else {
        for (const std::string& field : Fields(upper)) {
            size_t nDash = field.find('-');
            if (nDash == std::string::npos) {
                int n = ConvertNumber(field.c_str());
                if (n >= 1 && n <= 999) abExpected[n] = 1;
                continue;
            }
            // "%d-%d": the first number must end right at a dash.
            long long llFirst = 0, llLast = 0;
            if (!ReferenceScan(field, INT_MIN, INT_MAX, &llFirst)) continue;
            char* pEnd = nullptr;
            std::strtoll(field.c_str(), &pEnd, 10);
            if (*pEnd != '-') continue;
            if (!ReferenceScan(std::string(pEnd + 1), INT_MIN, INT_MAX, &llLast)) continue;
            for (long long n = std::max(llFirst, 1LL); n <= std::min(llLast, 999LL); ++n) abExpected[n] = 1;
        }
    }
    for (int n = 0; n <= 1000; ++n) FUZZ_CHECK(abAccess[n] == abExpected[n]);

    // A single grant touches only its own entry, and only for 1..999.
    int n = ConvertNumber(pUpper.get());
    for (int i = 0; i <= 1000; ++i) abAccess[i] = 0;
    GrantAccessIn(abAccess.get(), n);
    for (int i = 0; i <= 1000; ++i) FUZZ_CHECK(abAccess[i] == (i == n && n >= 1 && n <= 999 ? 1 : 0));
}

void CheckDebugLine(const std::string& s, const char* pText)
{
    std::unique_ptr<char[]> pLine(new char[256]);
    FormatDebugLine(pLine.get(), pText);
    size_t nLen = BoundedLength(pLine.get(), 256);
    size_t nText = std::min(s.size(), static_cast<size_t>(249));
    FUZZ_CHECK(nLen == 5 + nText + 1);
    FUZZ_CHECK(std::memcmp(pLine.get(), "<GR>-", 5) == 0);
    FUZZ_CHECK(std::memcmp(pLine.get() + 5, s.data(), nText) == 0);
    FUZZ_CHECK(pLine[nLen - 1] == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string s(reinterpret_cast<const char*>(pData), strnlen(reinterpret_cast<const char*>(pData), nSize));
    std::unique_ptr<char[]> pText = HeapText(pData, nSize);
    CheckNumbers(s, pText.get());
    CheckLevel(s, pText.get());
    CheckMask(s, pText.get());
    CheckAccess(s);
    CheckDebugLine(s, pText.get());
    return 0;
}
