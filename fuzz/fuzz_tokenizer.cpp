// Command texts from peers: the tokenizer, the number conversion, the command
// recognition and the revertive text.
//
// Properties: every field the tokenizer hands out lies inside the text's own
// block, is terminated there and ends before the next field begins; the fields
// equal those read from an untouched copy (the in-place copy never overtakes
// the scan); never more fields than asked for; each field's number is its
// conversion; the conversion saturates like strtoll clamped to int; the
// revertive text fits any buffer it is given, terminated, and reports its
// full length.
#include "core/command_text.h"
#include "core/tokenizer.h"

#include <climits>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

int ReferenceNumber(const std::string& s)
{
    long long ll = std::strtoll(s.c_str(), nullptr, 10);
    if (ll > INT_MAX) return INT_MAX;
    if (ll < INT_MIN) return INT_MIN;
    return static_cast<int>(ll);
}

// The fields as read from a text that is not written to.
std::vector<std::string> ReferenceFields(const std::string& s, int iCount)
{
    std::vector<std::string> fields;
    const size_t nLen = s.size();
    size_t nPos = 3;
    while (nPos <= nLen && static_cast<int>(fields.size()) < iCount) {
        while (nPos < nLen && s[nPos] == ' ') ++nPos;
        size_t nStart = nPos;
        if (nPos < nLen && s[nPos] == '\'') {
            nStart = ++nPos;
            while (nPos < nLen && s[nPos] != '\'') ++nPos;
            fields.push_back(s.substr(nStart, nPos - nStart));
            ++nPos;
        } else {
            while (nPos < nLen && s[nPos] != ' ') ++nPos;
            fields.push_back(s.substr(nStart, nPos - nStart));
        }
        while (nPos < nLen && s[nPos] != ' ') ++nPos;
        ++nPos;
    }
    return fields;
}

CommandKind ReferenceKind(const std::string& s)
{
    if (s.size() < 2 || s[0] != 'R') return CMD_NONE;
    switch (s[1]) {
    case 'C': return CMD_RC;
    case 'F': return CMD_RF;
    case 'L': return CMD_RL;
    case 'P': return CMD_RP;
    case 'Q': return CMD_RQ;
    default: return CMD_NONE;
    }
}

void CheckRevertive(int iDevice, int iDest, int iSource)
{
    char acFull[64];
    int nFull = std::snprintf(acFull, sizeof acFull, "RR %03d %03d %03d", iDevice, iDest, iSource);
    static const size_t anSize[] = {0, 1, 3, 15, 16, 64};
    for (size_t nSize : anSize) {
        std::unique_ptr<char[]> pOut(new char[nSize == 0 ? 1 : nSize]);
        int n = FormatRevertive(nSize == 0 ? nullptr : pOut.get(), nSize, iDevice, iDest, iSource);
        FUZZ_CHECK(n == nFull);
        if (nSize == 0) continue;
        size_t nLen = BoundedLength(pOut.get(), nSize);
        FUZZ_CHECK(nLen == std::min(static_cast<size_t>(nFull), nSize - 1));
        FUZZ_CHECK(std::memcmp(pOut.get(), acFull, nLen) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string original(reinterpret_cast<const char*>(pData), strnlen(reinterpret_cast<const char*>(pData), nSize));

    FUZZ_CHECK(ConvertNumber(original.c_str()) == ReferenceNumber(original));
    FUZZ_CHECK(ConvertNumber(nullptr) == 0);

    CommandKind eKind = CommandKindOf(HeapText(pData, nSize).get());
    FUZZ_CHECK(eKind == ReferenceKind(original));
    int nKindFields = CommandFieldCount(eKind);
    FUZZ_CHECK((eKind == CMD_NONE) == (nKindFields == 0));
    FUZZ_CHECK(nKindFields >= 0 && nKindFields <= 5);

    // Every count the handlers use (2, 4, 5, 6) and the edges around them.
    for (int iCount = 0; iCount <= 8; ++iCount) {
        std::unique_ptr<char[]> pText = HeapText(pData, nSize);
        char* pBegin = pText.get();
        char* pEnd = pBegin + original.size();   // the terminator
        std::vector<char*> apField(iCount + 1, nullptr);
        std::vector<int> aiValue(iCount, 0);
        int n = TokenizeCommand(pBegin, iCount, apField.data(), aiValue.data());

        const std::vector<std::string> expected = ReferenceFields(original, iCount);
        FUZZ_CHECK(n >= 0 && n <= iCount);
        FUZZ_CHECK(n == static_cast<int>(expected.size()));
        FUZZ_CHECK(apField[0] == pBegin);
        for (int i = 0; i <= n; ++i) FUZZ_CHECK(apField[i] >= pBegin && apField[i] <= pEnd);
        for (int i = 0; i < n; ++i) {
            size_t nLen = BoundedLength(apField[i], static_cast<size_t>(pEnd - apField[i]) + 1);
            FUZZ_CHECK(std::string(apField[i], nLen) == expected[i]);
            FUZZ_CHECK(aiValue[i] == ConvertNumber(apField[i]));
            FUZZ_CHECK(aiValue[i] == ReferenceNumber(expected[i]));
            // Field i ends before field i + 1 starts: no field overwrites another.
            FUZZ_CHECK(apField[i] + nLen < apField[i + 1]);
        }
        if (n >= 3) CheckRevertive(aiValue[0], aiValue[1], aiValue[2]);
    }
    FUZZ_CHECK(TokenizeCommand(nullptr, 5, nullptr, nullptr) == 0);
    return 0;
}
