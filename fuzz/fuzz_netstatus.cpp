// Network-status texts from RVX: the in-place parse and the answer.
//
// Properties: the parse always fills the status; its numbers are those the
// tokenizer reads from an untouched copy; each extra field is either an empty
// text or lies inside the text's own block, terminated there; the answer fits
// any buffer it is given, terminated, returns the length it stored, and is a
// prefix of the answer formatted without a limit.
#include "core/tokenizer.h"
#include "ipc/netstatus.h"

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::unique_ptr<char[]> pText = HeapText(pData, nSize);
    const char* pBegin = pText.get();
    const size_t nLen = std::strlen(pBegin);
    const char* pEnd = pBegin + nLen;

    NetStatus sStatus;
    std::memset(&sStatus, 0x5A, sizeof sStatus);
    ParseNetworkStatus(pText.get(), &sStatus);

    // The same text through the tokenizer, on a copy.
    std::unique_ptr<char[]> pCopy = HeapText(pData, nSize);
    char* apField[7] = {};
    int aiValue[6] = {};
    int n = TokenizeCommand(pCopy.get(), 6, apField, aiValue);
    FUZZ_CHECK(sStatus.iField0 == (n > 0 ? aiValue[0] : 0));
    FUZZ_CHECK(sStatus.iField1 == (n > 1 ? aiValue[1] : 0));
    FUZZ_CHECK(sStatus.bTxRxKey == 0 || sStatus.bTxRxKey == 1);
    if (n <= 2) FUZZ_CHECK(sStatus.bTxRxKey == 0 && sStatus.iTxRxValue == 0);
    for (int i = 0; i < 3; ++i) {
        const char* p = sStatus.apExtra[i];
        FUZZ_CHECK(p != nullptr);
        if (p >= pBegin && p <= pEnd) {
            size_t nField = BoundedLength(p, static_cast<size_t>(pEnd - p) + 1);
            FUZZ_CHECK(i + 3 < n);
            FUZZ_CHECK(std::strcmp(p, apField[i + 3]) == 0 && nField == std::strlen(apField[i + 3]));
        } else {
            FUZZ_CHECK(p[0] == '\0');
            FUZZ_CHECK(i + 3 >= n || apField[i + 3][0] == '\0');
        }
    }

    // The answer, with the RVX number and state taken from the text itself.
    const int iRvx = sStatus.iField1;
    const int iTxRx = sStatus.iTxRxValue;
    std::vector<char> full(4 * nSize + 128);
    int nFull = FormatNetworkAnswer(full.data(), full.size(), &sStatus, iRvx, iTxRx);
    FUZZ_CHECK(nFull >= 0 && static_cast<size_t>(nFull) < full.size());
    FUZZ_CHECK(std::strlen(full.data()) == static_cast<size_t>(nFull));
    FUZZ_CHECK(std::strncmp(full.data(), "NS ", 3) == 0);
    static const size_t anSize[] = {1, 2, 16, 64, 257, 513};
    for (size_t nOut : anSize) {
        std::unique_ptr<char[]> pOut(new char[nOut]);
        int nStored = FormatNetworkAnswer(pOut.get(), nOut, &sStatus, iRvx, iTxRx);
        size_t nOutLen = BoundedLength(pOut.get(), nOut);
        FUZZ_CHECK(nStored >= 0 && static_cast<size_t>(nStored) == nOutLen);
        FUZZ_CHECK(nOutLen == std::min(static_cast<size_t>(nFull), nOut - 1));
        FUZZ_CHECK(std::memcmp(pOut.get(), full.data(), nOutLen) == 0);
    }
    return 0;
}
