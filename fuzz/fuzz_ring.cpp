// The queue of received texts, driven by a sequence of pushes and pops from
// any starting position (so that the write and read positions wrap).
//
// Properties: each push stores the text cut to 127 characters or, with 16384
// pending, refuses it and counts it as dropped; pops hand out the texts in
// arrival order, each once, terminated within 128 bytes; the pending count
// and the drop count always match a reference queue.
#include "ipc/ring.h"

#include <deque>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

TextRing* Ring()
{
    static TextRing* pRing = new TextRing();
    return pRing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 3) return 0;
    TextRing* pRing = Ring();
    // The starting state: any read position, and either an empty ring or one
    // a few entries short of full, holding what earlier runs left in it.
    const int iStart = (pData[0] << 8 | pData[1]) % kRingCapacity;
    const int nPending = pData[2] < 0xC0 ? 0 : kRingCapacity - (pData[2] - 0xC0);
    pRing->iRead = iStart;
    pRing->iPending = nPending;
    pRing->iWrite = (iStart + nPending) % kRingCapacity;
    pRing->lDropped = 0;
    // The reference queue: the entries pending from the start (compared with
    // a snapshot), then the texts pushed by this run.
    static std::vector<char> snapshot;
    int nOld = nPending;
    int iOld = iStart;
    if (nPending > 0) snapshot.assign(&pRing->aacEntry[0][0], &pRing->aacEntry[0][0] + sizeof pRing->aacEntry);
    std::deque<std::string> model;
    long lDropped = 0;
    auto Pending = [&]() { return static_cast<size_t>(nOld) + model.size(); };
    auto Front = [&]() {
        if (nOld == 0) return model.front();
        const char* pEntry = &snapshot[static_cast<size_t>(iOld) * kRingTextSize];
        return std::string(pEntry, strnlen(pEntry, kRingTextSize - 1));
    };
    auto PopFront = [&]() {
        if (nOld == 0) {
            model.pop_front();
            return;
        }
        --nOld;
        iOld = (iOld + 1) % kRingCapacity;
    };

    auto Push = [&](const uint8_t* p, size_t n) {
        std::unique_ptr<char[]> pText = HeapText(p, n);
        std::string text(pText.get());
        int iEntry = RingPush(pRing, pText.get());
        if (Pending() >= static_cast<size_t>(kRingCapacity)) {
            FUZZ_CHECK(iEntry == -1);
            ++lDropped;
        } else {
            FUZZ_CHECK(iEntry >= 0 && iEntry < kRingCapacity);
            model.push_back(text.substr(0, kRingTextSize - 1));
        }
    };

    size_t i = 3;
    while (i < nSize) {
        const uint8_t bOp = pData[i++];
        if (bOp < 0x80) {
            size_t n = std::min(static_cast<size_t>(bOp) * 2, nSize - i);
            Push(pData + i, n);
            i += n;
        } else if (bOp < 0xF0) {
            std::unique_ptr<char[]> pOut(new char[kRingTextSize]);
            int bGot = RingPop(pRing, pOut.get());
            FUZZ_CHECK(bGot == (Pending() == 0 ? 0 : 1));
            if (bGot) {
                size_t nLen = BoundedLength(pOut.get(), kRingTextSize);
                FUZZ_CHECK(std::string(pOut.get(), nLen) == Front());
                PopFront();
            }
        } else {
            // A burst of short texts.
            const int nBurst = (bOp - 0xEF) * 8;
            for (int k = 0; k < nBurst; ++k) {
                std::string text = std::to_string(k);
                Push(reinterpret_cast<const uint8_t*>(text.data()), text.size());
            }
        }
        FUZZ_CHECK(pRing->iPending == static_cast<int>(Pending()));
        FUZZ_CHECK(pRing->lDropped == lDropped);
        FUZZ_CHECK(pRing->iRead >= 0 && pRing->iRead < kRingCapacity);
        FUZZ_CHECK(pRing->iWrite >= 0 && pRing->iWrite < kRingCapacity);
    }
    // Drain: everything left comes out in order.
    std::unique_ptr<char[]> pOut(new char[kRingTextSize]);
    while (Pending() > 0) {
        FUZZ_CHECK(RingPop(pRing, pOut.get()) == 1);
        FUZZ_CHECK(Front() == pOut.get());
        PopFront();
    }
    FUZZ_CHECK(RingPop(pRing, pOut.get()) == 0);
    return 0;
}
