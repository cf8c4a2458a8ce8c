#include "ipc/transport.h"

#include <cstring>

namespace {

// One reply slot per level of nesting. A request waits at depth d; the reply
// that arrives while it is the innermost outstanding request is its own, so
// an outer request never takes the answer of an inner one, and a request
// that got no answer never takes an older one.
const int kMaxDepth = 32;

struct ReplySlot {
    char acText[kTextBlockSize + 1];
    int iResult;
    int bArrived;
};

ReplySlot asReply[kMaxDepth + 1];   // slot 0 catches replies with nothing outstanding
int iDepth = 0;

int SendRequest(HWND hOwn, HWND hDest, int iMessage, int iValue, void* pData, DWORD cbData,
                ReplySlot* pOut)
{
    COPYDATASTRUCT cds;
    cds.dwData = PackEnvelope(iMessage, iValue);
    cds.cbData = cbData;
    cds.lpData = pData;

    if (iMessage == MSG_TRANSPORT_REPLY) {
        return static_cast<int>(SendMessageA(hDest, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn),
                                             reinterpret_cast<LPARAM>(&cds)));
    }
    // No IsWindow check first: for another process's window it costs a
    // round trip to the window server on every request, and a send to a
    // window that has gone simply fails, which leaves the slot without a
    // reply, as below.
    if (hDest == nullptr || iDepth >= kMaxDepth) {
        pOut->acText[0] = '\0';
        pOut->iResult = 0;
        return 0;
    }
    int iMine = ++iDepth;
    ReplySlot& slot = asReply[iMine];
    slot.acText[0] = '\0';
    slot.iResult = 0;
    slot.bArrived = 0;
    SendMessageA(hDest, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds));
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

int SendCopyText(HWND hOwn, HWND hDest, int iMessage, int iValue, const char* pText, char* pReply,
                 int nReply)
{
    char acBlock[kTextBlockSize + 1];
    std::memset(acBlock, 0, sizeof acBlock);
    if (pText != nullptr) std::strncpy(acBlock, pText, kTextBlockSize - 1);
    int n = (pReply != nullptr && nReply > 0) ? (nReply < kTextBlockSize ? nReply : kTextBlockSize) : 0;
    int iResult = SendCopyData(hOwn, hDest, iMessage, iValue, acBlock, n);
    if (n > 0) std::memcpy(pReply, acBlock, n);
    return iResult;
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
        ReplySlot& slot = asReply[iDepth];
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
        SendMessageA(hRequester, WM_COPYDATA, reinterpret_cast<WPARAM>(hOwn), reinterpret_cast<LPARAM>(&cds));
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
    EnumWindows(BroadcastOne, reinterpret_cast<LPARAM>(&args));
}
