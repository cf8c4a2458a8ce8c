#include "ipc/transport.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "ipc/work_state.h"

namespace {

// How long a broadcast waits for each top-level window: a hung window costs
// the broadcast this much, never more.
const UINT kBroadcastTimeoutMs = 2000;
// How often a wait for a sent message looks at the time left.
const DWORD kWaitStepMs = 50;

// One reply slot per level of nesting. A request waits at depth d. A reply
// belongs to the innermost outstanding request that went to the window the
// reply comes from (a peer answers from the window it was asked at), so a
// slow InfoDriver's answer that arrives while a request nested in its wait
// (a name request to RVX) is outstanding still reaches the read that asked
// for it. A reply from a window no outstanding request went to is dropped.
// A peer sends its reply as the last thing before it returns from the
// request, so of two replies from one peer during one request the later is
// the request's own: the earlier belongs to the next request out that went
// to the same peer (RVX busy with a level command while the driver asks it
// for a name nested in that wait), or, when there is none, it is a late
// answer to a request given up, and is dropped.
const int kMaxDepth = 32;

struct ReplySlot {
    char acText[kTextBlockSize + 1];
    int iResult;
    int bArrived;
    HWND hPeer;          // the window the request went to
    const char* pSync;   // a sync request: only a reply with this text is its own
};

ReplySlot asReply[kMaxDepth + 1];
int iDepth = 0;

DWORD dwPeerTimeout = kPeerTimeoutMs;
bool bSendsStopped = false;

PostedCloseWatch pfnCloseWatch = nullptr;
DWORD dwLastWatch = 0;

// Runs the watch, at most every 50 ms: a look into the queue costs a round
// trip to the window server. The caller counts as a send under way.
void WatchForPostedClose()
{
    if (pfnCloseWatch == nullptr) return;
    DWORD dwNow = GetTickCount();
    if (dwNow - dwLastWatch < 50) return;
    dwLastWatch = dwNow;
    // Guard: a filtered peek returns a pending quit request whatever the
    // filter: once shut-down has begun, the queue is left alone.
    if (IsClosing()) return;
    pfnCloseWatch();
}

// Peers out of step: a request to them was given up. The platform withdraws
// a request the peer had not yet taken (no reply will come), but one the
// peer had taken is finished and answered late; the time waited does not
// tell the two apart. Before the next request to such a peer, a sync
// request goes first: the peer takes it only once it has finished what it
// was doing, so its own reply proves that no earlier reply is still to
// come. Until then every reply from that peer is dropped.
const int kOutOfStepMax = 16;
HWND ahOutOfStep[kOutOfStepMax];

bool IsOutOfStep(HWND hPeer)
{
    for (HWND h : ahOutOfStep) {
        if (h == hPeer) return true;
    }
    return false;
}

void SetOutOfStep(HWND hPeer, bool bOut)
{
    HWND* phFree = nullptr;
    for (HWND& h : ahOutOfStep) {
        if (h == hPeer) {
            if (!bOut) h = nullptr;
            return;
        }
        if (phFree == nullptr && (h == nullptr || !IsWindow(h))) phFree = &h;
    }
    if (bOut && phFree != nullptr) *phFree = hPeer;
}

void LogPeer(const char* pFormat, HWND hPeer)
{
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, pFormat, static_cast<unsigned int>(reinterpret_cast<uintptr_t>(hPeer)));
    DebugLog(acLine);
}

// SendMessageTimeoutA with the peer limit. A request (bRequest) that was
// given up leaves its peer out of step, unless the peer has gone.
bool SendWithLimit(HWND hDest, UINT uMessage, WPARAM wParam, LPARAM lParam, DWORD_PTR* pdwResult,
                   bool bRequest)
{
    *pdwResult = 0;
    EnterSend();
    bool bOk = SendMessageTimeoutA(hDest, uMessage, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                   dwPeerTimeout, pdwResult) != 0;
    WatchForPostedClose();
    LeaveSend();
    if (!bOk && bRequest && IsWindow(hDest)) SetOutOfStep(hDest, true);
    return bOk;
}

// Sends one request; its reply lands in the slot pushed for it. False when
// the request was given up.
bool SendAtDepth(HWND hOwn, HWND hDest, int iMessage, int iValue, void* pData, DWORD cbData)
{
    COPYDATASTRUCT cds;
    cds.dwData = PackEnvelope(iMessage, iValue);
    cds.cbData = cbData;
    cds.lpData = pData;
    DWORD_PTR dwResult = 0;
    return SendWithLimit(hDest, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds),
                         &dwResult, true);
}

ReplySlot* PushSlot(HWND hDest, const char* pSync)
{
    ReplySlot& slot = asReply[++iDepth];
    slot.acText[0] = '\0';
    slot.iResult = 0;
    slot.bArrived = 0;
    slot.hPeer = hDest;
    slot.pSync = pSync;
    return &slot;
}

// The sync request to a peer out of step: true once its own reply came.
bool BringInStep(HWND hOwn, HWND hDest)
{
    static unsigned long ulSync = 0;
    char acToken[32];
    std::snprintf(acToken, sizeof acToken, "sync %lu", ++ulSync);
    char acBlock[kTextBlockSize];
    std::memset(acBlock, 0, sizeof acBlock);
    std::memcpy(acBlock, acToken, std::strlen(acToken));
    ReplySlot* pSlot = PushSlot(hDest, acToken);
    bool bSent = SendAtDepth(hOwn, hDest, MSG_TRANSPORT_SYNC, 0, acBlock, kTextBlockSize);
    bool bInStep = bSent && pSlot->bArrived != 0;
    --iDepth;
    if (bInStep) {
        SetOutOfStep(hDest, false);
        LogPeer("Peer 0x%04x back in step", hDest);
    }
    return bInStep;
}

int SendRequest(HWND hOwn, HWND hDest, int iMessage, int iValue, void* pData, DWORD cbData,
                ReplySlot* pOut)
{
    if (iMessage == MSG_TRANSPORT_REPLY) {
        COPYDATASTRUCT cds;
        cds.dwData = PackEnvelope(iMessage, iValue);
        cds.cbData = cbData;
        cds.lpData = pData;
        DWORD_PTR dwResult = 0;
        SendWithLimit(hDest, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds),
                      &dwResult, false);
        return static_cast<int>(dwResult);
    }
    pOut->acText[0] = '\0';
    pOut->iResult = 0;
    pOut->bArrived = 0;
    // No IsWindow check first: for another process's window it costs a
    // round trip to the window server on every request, and a send to a
    // window that has gone simply fails, which leaves the slot without a
    // reply, as below. A peer out of step that does not come back in step
    // is not asked: the request would only queue behind what it is doing.
    if (hDest == nullptr || iDepth + 1 >= kMaxDepth || bSendsStopped) return 0;
    if (IsOutOfStep(hDest) && !BringInStep(hOwn, hDest)) return 0;
    ReplySlot* pSlot = PushSlot(hDest, nullptr);
    bool bSent = SendAtDepth(hOwn, hDest, iMessage, iValue, pData, cbData);
    --iDepth;
    // A request given up takes no reply: what arrived meanwhile may be the
    // late answer to an earlier request, and its own, if the peer had taken
    // it, comes later and is dropped once the peer is out of step.
    if (pSlot->bArrived && !bSent) {
        LogPeer("Reply from 0x%04x to a request given up - dropped", hDest);
    } else if (pSlot->bArrived) {
        *pOut = *pSlot;
    }
    return pOut->iResult;
}

}  // namespace

int SendCopyData(HWND hOwn, HWND hDest, int iMessage, int iValue, char* pBlock, int iCopyBack)
{
    ReplySlot reply;
    int iResult = SendRequest(hOwn, hDest, iMessage, iValue, pBlock, kTextBlockSize, &reply);
    if (iMessage != MSG_TRANSPORT_REPLY && iCopyBack > 0) {
        CopyReplyText(pBlock, iCopyBack, reply.acText);
    }
    return iResult;
}

int SendCopyTextAnswered(HWND hOwn, HWND hDest, int iMessage, int iValue, const char* pText, char* pReply,
                         int nReply, bool* pbAnswered)
{
    char acBlock[kTextBlockSize + 1];
    std::memset(acBlock, 0, sizeof acBlock);
    if (pText != nullptr) std::strncpy(acBlock, pText, kTextBlockSize - 1);
    int n = (pReply != nullptr && nReply > 0) ? (nReply < kTextBlockSize ? nReply : kTextBlockSize) : 0;
    ReplySlot reply;
    int iResult = SendRequest(hOwn, hDest, iMessage, iValue, acBlock, kTextBlockSize, &reply);
    if (iMessage != MSG_TRANSPORT_REPLY && n > 0) {
        CopyReplyText(acBlock, n, reply.acText);
        std::memcpy(pReply, acBlock, n);
    }
    if (pbAnswered != nullptr) *pbAnswered = iMessage == MSG_TRANSPORT_REPLY || reply.bArrived;
    return iResult;
}

int SendCopyText(HWND hOwn, HWND hDest, int iMessage, int iValue, const char* pText, char* pReply,
                 int nReply)
{
    return SendCopyTextAnswered(hOwn, hDest, iMessage, iValue, pText, pReply, nReply, nullptr);
}

DWORD SetPeerTimeout(DWORD dwMs)
{
    DWORD dwOld = dwPeerTimeout;
    dwPeerTimeout = dwMs;
    return dwOld;
}

bool SendPeerMessage(HWND hDest, UINT uMessage, WPARAM wParam, LPARAM lParam, LRESULT* plResult)
{
    DWORD_PTR dwResult = 0;
    bool bOk = hDest != nullptr && !bSendsStopped && SendWithLimit(hDest, uMessage, wParam, lParam, &dwResult, false);
    if (plResult != nullptr) *plResult = bOk ? static_cast<LRESULT>(dwResult) : 0;
    return bOk;
}

void SetPostedCloseWatch(PostedCloseWatch pfnWatch)
{
    pfnCloseWatch = pfnWatch;
}

void StopSends(bool bStopped)
{
    bSendsStopped = bStopped;
}

bool SendPeerMessageWithin(HWND hDest, UINT uMessage, WPARAM wParam, LPARAM lParam, DWORD dwMs)
{
    if (hDest == nullptr || bSendsStopped) return false;
    DWORD_PTR dwResult = 0;
    EnterSend();
    bool bOk = SendMessageTimeoutA(hDest, uMessage, wParam, lParam, SMTO_NORMAL, dwMs, &dwResult) != 0;
    LeaveSend();
    return bOk;
}

void WaitForSentMessages(DWORD dwMs, HWND* pDone)
{
    // A number that nobody posts: the peek below then only handles the
    // messages sent to this thread and leaves every posted one queued.
    const UINT kNoPostedMessage = 0xBFFE;
    EnterSend();
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, kNoPostedMessage, kNoPostedMessage, PM_NOREMOVE);
        WatchForPostedClose();
        DWORD dwWaited = GetTickCount() - dwStart;
        if (*pDone != nullptr || dwWaited >= dwMs) break;
        DWORD dwStep = dwMs - dwWaited < kWaitStepMs ? dwMs - dwWaited : kWaitStepMs;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwStep, QS_SENDMESSAGE);
    }
    LeaveSend();
}

int SendCopyNumber(HWND hOwn, HWND hDest, int iMessage, int iValue, unsigned long ulNumber)
{
    char acBlock[kNumericBlockSize];
    FormatNumericPayload(acBlock, ulNumber);
    ReplySlot reply;
    return SendRequest(hOwn, hDest, iMessage, iValue, acBlock, kNumericBlockSize, &reply);
}

void HandleCopyData(HWND hOwn, WPARAM wParam, LPARAM lParam)
{
    const COPYDATASTRUCT* pCds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (pCds == nullptr) return;
    int iMessage = EnvelopeMessage(pCds->dwData);
    int iValue = EnvelopeValue(pCds->dwData);
    size_t nSize = pCds->lpData != nullptr ? pCds->cbData : 0;

    if (iMessage == MSG_TRANSPORT_REPLY) {
        HWND hFrom = reinterpret_cast<HWND>(wParam);
        int iSlot = 0;
        for (int d = iDepth; d >= 1 && iSlot == 0; --d) {
            if (asReply[d].hPeer == hFrom) iSlot = d;
        }
        if (iSlot == 0) {
            LogPeer("Reply from 0x%04x with no request outstanding - dropped", hFrom);
            return;
        }
        ReplySlot& slot = asReply[iSlot];
        char acText[kTextBlockSize + 1];
        if (nSize == static_cast<size_t>(kNumericBlockSize)) {
            acText[0] = '\0';
        } else {
            CopyReceivedBlock(acText, pCds->lpData, nSize);
        }
        // A peer out of step answers what it was doing first: only the
        // sync's own reply counts.
        if (slot.pSync != nullptr ? std::strcmp(acText, slot.pSync) != 0 : IsOutOfStep(hFrom)) {
            LogPeer("Late reply from 0x%04x dropped", hFrom);
            return;
        }
        if (slot.bArrived) {
            // This reply is the request's own; the one taken before it
            // belongs further out, or to no request still waiting.
            int iOuter = 0;
            for (int d = iSlot - 1; d >= 1 && iOuter == 0; --d) {
                if (asReply[d].hPeer == hFrom && !asReply[d].bArrived && asReply[d].pSync == nullptr) iOuter = d;
            }
            if (iOuter != 0) {
                std::memcpy(asReply[iOuter].acText, slot.acText, sizeof slot.acText);
                asReply[iOuter].iResult = slot.iResult;
                asReply[iOuter].bArrived = 1;
            } else {
                LogPeer("Late reply from 0x%04x dropped", hFrom);
            }
        }
        std::memcpy(slot.acText, acText, sizeof slot.acText);
        slot.iResult = iValue;
        slot.bArrived = 1;
        return;
    }

    HWND hRequester = reinterpret_cast<HWND>(wParam);
    if (nSize == static_cast<size_t>(kNumericBlockSize)) {
        unsigned long ulNumber = 0;
        ParseNumericPayload(pCds->lpData, nSize, &ulNumber);
        LRESULT lResult = SendMessageA(hOwn, static_cast<UINT>(iMessage), static_cast<WPARAM>(iValue),
                                       static_cast<LPARAM>(ulNumber));
        char acBlock[kNumericBlockSize];
        FormatNumericPayload(acBlock, ulNumber);
        COPYDATASTRUCT cds;
        cds.dwData = PackEnvelope(MSG_TRANSPORT_REPLY, static_cast<int>(lResult));
        cds.cbData = kNumericBlockSize;
        cds.lpData = acBlock;
        DWORD_PTR dwIgnored = 0;
        SendWithLimit(hRequester, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds),
                      &dwIgnored, false);
        return;
    }

    // Text: the handler works on a private, terminated copy; that copy, as
    // the handler leaves it, is the reply text.
    char acBlock[kTextBlockSize + 1];
    CopyReceivedBlock(acBlock, pCds->lpData, nSize);
    LRESULT lResult = SendMessageA(hOwn, static_cast<UINT>(iMessage), static_cast<WPARAM>(iValue),
                                   reinterpret_cast<LPARAM>(acBlock));
    SendCopyData(hOwn, hRequester, MSG_TRANSPORT_REPLY, static_cast<int>(lResult), acBlock, 0);
}

namespace {

struct BroadcastArgs {
    UINT uMessage;
    WPARAM wParam;
    LPARAM lParam;
};

BOOL CALLBACK BroadcastOne(HWND hWnd, LPARAM lArgs)
{
    const BroadcastArgs* pArgs = reinterpret_cast<const BroadcastArgs*>(lArgs);
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    if (dwProcess == GetCurrentProcessId()) return TRUE;
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(hWnd, pArgs->uMessage, pArgs->wParam, pArgs->lParam,
                        SMTO_NORMAL | SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &dwResult);
    return TRUE;
}

}  // namespace

void BroadcastToTopLevel(UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    BroadcastArgs args = {uMessage, wParam, lParam};
    EnterSend();
    EnumWindows(BroadcastOne, reinterpret_cast<LPARAM>(&args));
    LeaveSend();
}
