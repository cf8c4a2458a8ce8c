#include "ipc/ring.h"

#include <cstring>

namespace {

// Where a text of nBytes (NUL included) can begin in the store, or -1 when it
// has no room. Pending texts lie either in one run [head, iFree), or wrapped
// round the end: [head, end of the run) and [0, iFree), with iFree <= head.
int PlaceFor(const TextRing* pRing, int nBytes)
{
    if (pRing->iPending == 0) return 0;
    const int iHead = pRing->aiStart[pRing->iRead];
    if (pRing->iFree > iHead) {
        if (kRingStoreSize - pRing->iFree >= nBytes) return pRing->iFree;
        return iHead >= nBytes ? 0 : -1;
    }
    return iHead - pRing->iFree >= nBytes ? pRing->iFree : -1;
}

}  // namespace

int RingPush(TextRing* pRing, const char* pText)
{
    const size_t n = pText != nullptr ? std::strlen(pText) : 0;
    if (n > static_cast<size_t>(kRingTextMax)) return kRingTooLong;
    const int nBytes = static_cast<int>(n) + 1;
    const int iAt = pRing->iPending < kRingCapacity ? PlaceFor(pRing, nBytes) : -1;
    if (iAt < 0) {
        ++pRing->lDropped;
        return kRingFull;
    }
    if (n > 0) std::memcpy(pRing->acStore + iAt, pText, n);
    pRing->acStore[iAt + static_cast<int>(n)] = '\0';
    const int iEntry = pRing->iWrite;
    pRing->aiStart[iEntry] = iAt;
    pRing->iFree = iAt + nBytes;
    pRing->iWrite = (iEntry + 1) % kRingCapacity;
    ++pRing->iPending;
    return iEntry;
}

int RingPop(TextRing* pRing, char* pOut)
{
    if (pRing->iPending <= 0) return 0;
    const char* pText = RingText(pRing, pRing->iRead);
    std::memcpy(pOut, pText, std::strlen(pText) + 1);
    pRing->iRead = (pRing->iRead + 1) % kRingCapacity;
    --pRing->iPending;
    return 1;
}

const char* RingText(const TextRing* pRing, int iEntry)
{
    return pRing->acStore + pRing->aiStart[iEntry];
}
