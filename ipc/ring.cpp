#include "ipc/ring.h"

#include <cstring>

int RingPush(TextRing* pRing, const char* pText)
{
    if (pRing->iPending >= kRingCapacity) {
        ++pRing->lDropped;
        return -1;
    }
    int iEntry = pRing->iWrite;
    char* pEntry = pRing->aacEntry[iEntry];
    size_t n = pText != nullptr ? std::strlen(pText) : 0;
    if (n > static_cast<size_t>(kRingTextSize - 1)) n = kRingTextSize - 1;
    if (n > 0) std::memcpy(pEntry, pText, n);
    pEntry[n] = '\0';
    pRing->iWrite = (iEntry + 1) % kRingCapacity;
    ++pRing->iPending;
    return iEntry;
}

int RingPop(TextRing* pRing, char* pOut)
{
    if (pRing->iPending <= 0) return 0;
    std::memcpy(pOut, pRing->aacEntry[pRing->iRead], kRingTextSize);
    pOut[kRingTextSize - 1] = '\0';
    pRing->iRead = (pRing->iRead + 1) % kRingCapacity;
    --pRing->iPending;
    return 1;
}
