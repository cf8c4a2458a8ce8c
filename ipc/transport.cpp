#include "ipc/transport.h"

#include <cstring>

namespace {

// One reply slot per level of nesting. A request waits at depth d. A reply
// belongs to the innermost outstanding request that went to the window the
// reply comes from (a peer answers from the window it was asked at), so a
// slow InfoDriver's answer that arrives while a request nested in its wait
// (a name request to RVX) is outstanding still reaches the read that asked
// for it. A reply from a window no outstanding request went to is the
// innermost request's, as for a peer that answers from another window.
const int kMaxDepth = 32;

struct ReplySlot {
    char acText[kTextBlockSize + 1];
    int iResult;
    int bArrived;
    HWND hPeer;   // the window the request went to
};

ReplySlot asReply[kMaxDepth + 1];   // slot 0 catches replies with nothing outstanding
int iDepth = 0;

DWORD dwPeerTimeout = kPeerTimeoutMs;
int iSendDepth = 0;   // every send under way, plain ones and waits included
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
    pfnCloseWatch();
}

// Peers that owe replies: a request to them ran out of time while it was
// queued, so they still handle it and answer it late. A peer answers its
// requests in the order they came, so its next replies are those late ones:
// they are dropped, and never taken for the answer of a later request.
struct OwedReplies {
    HWND hPeer;
    int nOwed;
};
const int kOwedMax = 16;
OwedReplies asOwed[kOwedMax];

void NoteOwedReply(HWND hPeer)
{
    OwedReplies* pFree = nullptr;
    for (OwedReplies& e : asOwed) {
        if (e.hPeer == hPeer) {
            ++e.nOwed;
            return;
        }
        if (pFree == nullptr && (e.nOwed == 0 || !IsWindow(e.hPeer))) pFree = &e;
    }
    if (pFree != nullptr) *pFree = {hPeer, 1};
}

bool TakeOwedReply(HWND hPeer)
{
    for (OwedReplies& e : asOwed) {
        if (e.hPeer == hPeer && e.nOwed > 0) {
            --e.nOwed;
            return true;
        }
    }
    return false;
}

// SendMessageTimeoutA with the peer limit. A send that was given up after
// waiting its whole time was queued at the peer, which will answer it late;
// one refused at once (a hung peer) was never queued.
bool SendWithLimit(HWND hDest, UINT uMessage, WPARAM wParam, LPARAM lParam, DWORD_PTR* pdwResult,
                   bool bMayOwe)
{
    *pdwResult = 0;
    ++iSendDepth;
    DWORD dwStart = GetTickCount();
    bool bOk = SendMessageTimeoutA(hDest, uMessage, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                   dwPeerTimeout, pdwResult) != 0;
    WatchForPostedClose();
    --iSendDepth;
    if (!bOk && bMayOwe && GetTickCount() - dwStart >= dwPeerTimeout / 2 && IsWindow(hDest)) {
        NoteOwedReply(hDest);
    }
    return bOk;
}

int SendRequest(HWND hOwn, HWND hDest, int iMessage, int iValue, void* pData, DWORD cbData,
                ReplySlot* pOut)
{
    COPYDATASTRUCT cds;
    cds.dwData = PackEnvelope(iMessage, iValue);
    cds.cbData = cbData;
    cds.lpData = pData;

    DWORD_PTR dwResult = 0;
    if (iMessage == MSG_TRANSPORT_REPLY) {
        SendWithLimit(hDest, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds),
                      &dwResult, false);
        return static_cast<int>(dwResult);
    }
    // No IsWindow check first: for another process's window it costs a
    // round trip to the window server on every request, and a send to a
    // window that has gone simply fails, which leaves the slot without a
    // reply, as below.
    if (hDest == nullptr || iDepth >= kMaxDepth || bSendsStopped) {
        pOut->acText[0] = '\0';
        pOut->iResult = 0;
        return 0;
    }
    int iMine = ++iDepth;
    ReplySlot& slot = asReply[iMine];
    slot.acText[0] = '\0';
    slot.iResult = 0;
    slot.bArrived = 0;
    slot.hPeer = hDest;
    SendWithLimit(hDest, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds), &dwResult,
                  true);
    --iDepth;
    if (slot.bArrived) {
        *pOut = slot;
    } else {
        pOut->acText[0] = '\0';
        pOut->iResult = 0;
    }
    pOut->bArrived = slot.bArrived;
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

int SendDepth()
{
    return iSendDepth;
}

void WaitForSentMessages(DWORD dwMs, HWND* pDone)
{
    // A number that nobody posts: the peek below then only handles the
    // messages sent to this thread and leaves every posted one queued.
    const UINT kNoPostedMessage = 0xBFFE;
    ++iSendDepth;
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, kNoPostedMessage, kNoPostedMessage, PM_NOREMOVE);
        WatchForPostedClose();
        DWORD dwWaited = GetTickCount() - dwStart;
        if (*pDone != nullptr || dwWaited >= dwMs) break;
        DWORD dwStep = dwMs - dwWaited < 50 ? dwMs - dwWaited : 50;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwStep, QS_SENDMESSAGE);
    }
    --iSendDepth;
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
        if (TakeOwedReply(hFrom)) return;
        int iSlot = iDepth;
        for (int d = iDepth; d >= 1; --d) {
            if (asReply[d].hPeer == hFrom && !asReply[d].bArrived) {
                iSlot = d;
                break;
            }
        }
        ReplySlot& slot = asReply[iSlot];
        if (nSize == static_cast<size_t>(kNumericBlockSize)) {
            slot.acText[0] = '\0';
        } else {
            CopyReceivedBlock(slot.acText, pCds->lpData, nSize);
        }
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
                        SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &dwResult);
    return TRUE;
}

}  // namespace

void BroadcastToTopLevel(UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    BroadcastArgs args = {uMessage, wParam, lParam};
    ++iSendDepth;
    EnumWindows(BroadcastOne, reinterpret_cast<LPARAM>(&args));
    --iSendDepth;
}
