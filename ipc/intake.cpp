#include "ipc/intake.h"

#include <cstdio>

#include "core/log.h"
#include "core/messages.h"
#include "ipc/transport.h"

namespace {

HWND hMainWindow = nullptr;

// The text request that the transport is delivering: a text message is taken
// only as that delivery, once, because only then does its lparam point to a
// text.
const COPYDATASTRUCT* pTextRequest = nullptr;

struct Queue {
    TextRing sRing;
    int bDrainPosted;   // its drain message is outstanding
    unsigned long ulEntered;
    unsigned long ulLeft;
};
Queue asQueue[2];   // by TextQueue

bool PostDrain(const Queue& q)
{
    UINT uDrain = &q == &asQueue[kCommandQueue] ? MSG_COMMAND_QUEUED : MSG_INFO_QUEUED;
    return PostMessageA(hWndMain, uDrain, static_cast<WPARAM>(q.sRing.iRead), 0) != 0;
}

}  // namespace

HWND const& hWndMain = hMainWindow;

void SetMainWindow(HWND hWnd)
{
    hMainWindow = hWnd;
}

void ReceiveCopyData(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    const COPYDATASTRUCT* pOuter = pTextRequest;
    pTextRequest = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    HandleCopyData(hWnd, wParam, lParam);
    pTextRequest = pOuter;
}

char* DeliveredText(UINT uMessage, LPARAM lParam)
{
    if (pTextRequest == nullptr || lParam == 0) return nullptr;
    if (pTextRequest->cbData == static_cast<DWORD>(kNumericBlockSize)) return nullptr;
    if (EnvelopeMessage(pTextRequest->dwData) != static_cast<int>(uMessage)) return nullptr;
    pTextRequest = nullptr;
    return reinterpret_cast<char*>(lParam);
}

LRESULT QueueText(TextQueue eQueue, const char* pText)
{
    Queue& q = asQueue[eQueue];
    char acLine[256];
    std::snprintf(acLine, sizeof acLine, "<%s>", pText);
    DebugLog(acLine);

    int iEntry = RingPush(&q.sRing, pText);
    if (iEntry == kRingTooLong) {
        // Never cut: a cut command could lose or change its last fields.
        std::snprintf(acLine, sizeof acLine, "Text longer than %d characters refused: %.127s", kRingTextMax, pText);
        DebugLog(acLine);
    } else if (iEntry < 0) {
        std::snprintf(acLine, sizeof acLine, "Queue full (%ld texts dropped): %.127s", q.sRing.lDropped, pText);
        DebugLog(acLine);
    } else {
        ++q.ulEntered;
    }
    if (!q.bDrainPosted && q.sRing.iPending > 0 && PostDrain(q)) q.bDrainPosted = 1;
    return 1;
}

int TakeQueuedText(TextQueue eQueue, char* pOut)
{
    int bTaken = RingPop(&asQueue[eQueue].sRing, pOut);
    if (bTaken) ++asQueue[eQueue].ulLeft;
    return bTaken;
}

unsigned long TextsEntered(TextQueue eQueue)
{
    return asQueue[eQueue].ulEntered;
}

unsigned long TextsLeft(TextQueue eQueue)
{
    return asQueue[eQueue].ulLeft;
}

const TextRing& QueuedTexts(TextQueue eQueue)
{
    return asQueue[eQueue].sRing;
}

DrainMark MarkQueue(TextQueue eQueue)
{
    const TextRing& r = asQueue[eQueue].sRing;
    DrainMark sMark = {r.iRead, r.iPending};
    return sMark;
}

void ContinueDrain(TextQueue eQueue, const DrainMark& sBefore)
{
    Queue& q = asQueue[eQueue];
    int bProgress = q.sRing.iRead != sBefore.iRead || q.sRing.iPending < sBefore.iPending;
    q.bDrainPosted = q.sRing.iPending > 0 && bProgress && PostDrain(q) ? 1 : 0;
}

void PauseDrain(TextQueue eQueue)
{
    asQueue[eQueue].bDrainPosted = 0;
}

void ResumeQueues()
{
    for (Queue& q : asQueue) {
        if (q.sRing.iPending > 0 && !q.bDrainPosted && PostDrain(q)) q.bDrainPosted = 1;
    }
}

long DropQueuedTexts(TextQueue eQueue)
{
    Queue& q = asQueue[eQueue];
    char acText[kRingTextSize];
    long nDropped = 0;
    while (RingPop(&q.sRing, acText)) ++nDropped;
    q.ulLeft += static_cast<unsigned long>(nDropped);
    q.bDrainPosted = 0;
    return nDropped;
}
