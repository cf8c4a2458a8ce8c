#include "ipc/work_state.h"

namespace {

struct WorkState {
    bool bStarting;
    bool bClosing;
    int iSendDepth;            // every send under way
    const char* pWaitingClose; // the cause of a close request that waits, or null
};
WorkState sWork = {false, false, 0, nullptr};

}  // namespace

void BeginStartup()
{
    sWork.bStarting = true;
    sWork.bClosing = false;
}

void EndStartup()
{
    sWork.bStarting = false;
}

bool IsStarting()
{
    return sWork.bStarting;
}

void EnterSend()
{
    ++sWork.iSendDepth;
}

void LeaveSend()
{
    --sWork.iSendDepth;
}

bool CloseMayTakeEffectNow()
{
    return !sWork.bStarting && sWork.iSendDepth == 0;
}

bool NoteWaitingClose(const char* pCause)
{
    if (sWork.pWaitingClose != nullptr) return false;
    sWork.pWaitingClose = pCause != nullptr ? pCause : "no cause given";
    return true;
}

bool CloseWaits()
{
    return sWork.pWaitingClose != nullptr;
}

const char* WaitingCloseCause()
{
    return sWork.pWaitingClose;
}

bool WaitingCloseDue()
{
    return CloseWaits() && CloseMayTakeEffectNow();
}

bool BeginClosing()
{
    if (sWork.bClosing) return false;
    sWork.bClosing = true;
    return true;
}

bool IsClosing()
{
    return sWork.bClosing;
}

bool StopRequested()
{
    return sWork.bClosing || CloseWaits();
}

void ResetWorkState()
{
    sWork.bStarting = false;
    sWork.bClosing = false;
    sWork.pWaitingClose = nullptr;
}
