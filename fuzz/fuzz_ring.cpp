// The queue of received texts, driven by a sequence of pushes and pops from
// a varied starting state (entry positions anywhere in the table, the store
// partly used or the table nearly full), so that both wrap.
//
// Properties: a text of up to 512 characters is stored whole or, when full,
// refused and counted as dropped; it is never refused while fewer than
// 16384 are pending and the store keeps room for it and the longest text
// besides; a longer text is refused and not counted; pops hand out the texts
// in arrival order, each once, terminated within kRingTextSize bytes; the
// pending count and the drop count always match a reference queue.
#include "ipc/ring.h"

#include <deque>
#include <string>

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
    // An empty ring with its entries turned round by any amount: what the
    // store holds from earlier runs carries no meaning.
    const int nTurn = (pData[0] << 8 | pData[1]) % kRingCapacity;
    pRing->iRead = pRing->iWrite = nTurn;
    pRing->iPending = pRing->iFree = 0;
    pRing->lDropped = 0;

    std::deque<std::string> model;
    size_t nLive = 0;   // bytes of the pending texts, NULs included
    long lDropped = 0;

    // bExact: the text in a block of its own size, for AddressSanitizer.
    auto Push = [&](const std::string& text, bool bExact) {
        std::unique_ptr<char[]> pText = bExact ? HeapText(text) : nullptr;
        const int iEntry = RingPush(pRing, bExact ? pText.get() : text.c_str());
        const size_t nBytes = text.size() + 1;
        if (text.size() > static_cast<size_t>(kRingTextMax)) {
            FUZZ_CHECK(iEntry == kRingTooLong);
            return;
        }
        if (model.size() >= static_cast<size_t>(kRingCapacity)) {
            FUZZ_CHECK(iEntry == kRingFull);
            ++lDropped;
            return;
        }
        if (iEntry == kRingFull) {
            FUZZ_CHECK(nLive + nBytes + kRingTextMax > static_cast<size_t>(kRingStoreSize));
            ++lDropped;
            return;
        }
        FUZZ_CHECK(iEntry >= 0 && iEntry < kRingCapacity);
        FUZZ_CHECK(text == RingText(pRing, iEntry));
        model.push_back(text);
        nLive += nBytes;
    };
    std::unique_ptr<char[]> pOut(new char[kRingTextSize]);
    auto Pop = [&]() {
        const int bGot = RingPop(pRing, pOut.get());
        FUZZ_CHECK(bGot == (model.empty() ? 0 : 1));
        if (!bGot) return;
        const size_t nLen = BoundedLength(pOut.get(), kRingTextSize);
        FUZZ_CHECK(std::string(pOut.get(), nLen) == model.front());
        nLive -= model.front().size() + 1;
        model.pop_front();
    };

    // Then either one text that moves where the store's free room begins,
    // or a table a few entries short of full.
    if (pData[2] < 0xC0) {
        Push(std::string(pData[2] * 2u, 'o'), true);
    } else {
        for (int k = 0; k < kRingCapacity - (pData[2] - 0xC0); ++k) Push(std::to_string(k), false);
    }

    size_t i = 3;
    while (i < nSize) {
        const uint8_t bOp = pData[i++];
        if (bOp < 0x80) {
            // Up to 635 bytes, so that texts beyond 512 characters come too.
            size_t n = std::min(static_cast<size_t>(bOp) * 5, nSize - i);
            Push(HeapText(pData + i, n).get(), true);
            i += n;
        } else if (bOp < 0xE0) {
            Pop();
        } else if (bOp < 0xF0) {
            // A burst of long texts: a few of them fill the store.
            const int nBurst = (bOp - 0xDF) * 128;
            for (int k = 0; k < nBurst; ++k) Push(std::to_string(k) + std::string(500, 'L'), false);
        } else {
            // A burst of short texts.
            const int nBurst = (bOp - 0xEF) * 8;
            for (int k = 0; k < nBurst; ++k) Push(std::to_string(k), false);
        }
        FUZZ_CHECK(pRing->iPending == static_cast<int>(model.size()));
        FUZZ_CHECK(pRing->lDropped == lDropped);
        FUZZ_CHECK(pRing->iRead >= 0 && pRing->iRead < kRingCapacity);
        FUZZ_CHECK(pRing->iWrite >= 0 && pRing->iWrite < kRingCapacity);
        FUZZ_CHECK(pRing->iFree >= 0 && pRing->iFree <= kRingStoreSize);
    }
    // Drain: everything left comes out in order.
    while (!model.empty()) Pop();
    Pop();
    return 0;
}
