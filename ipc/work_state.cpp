#include "ipc/work_state.h"

namespace {

struct WorkState {
    bool bStarting;
    bool bClosing;
    int iSendDepth;            // every send under way
    const char* pWaitingClose; // the cause of a close request that waits, or null
};
WorkState sWork = {false, false, 0, nullptr};

// The first close request, from which long work gives way to it.
struct CloseCut {
    bool bRequested;
    std::uint32_t dwSince;      // the request, or the start of the close's own drain
    std::uint32_t dwSweepGrace; // 0 but during the close's drain
};
CloseCut sCut = {false, 0, 0};

bool CutAfter(std::uint32_t dwNow, std::uint32_t dwMs)
{
    return sCut.bRequested && static_cast<std::uint32_t>(dwNow - sCut.dwSince) >= dwMs;
}

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

void NoteCloseRequested(std::uint32_t dwNow)
{
    if (sCut.bRequested) return;
    sCut = {true, dwNow, 0};
}

void BeginCloseDrain(std::uint32_t dwNow, std::uint32_t dwLimitMs)
{
    sCut = {true, dwNow, dwLimitMs};
}

void EndCloseDrain()
{
    sCut.dwSweepGrace = 0;
}

bool SweepCut(std::uint32_t dwNow)
{
    return CutAfter(dwNow, sCut.dwSweepGrace);
}

bool TakeCut(std::uint32_t dwNow)
{
    return CutAfter(dwNow, kTakeGraceMs);
}

void ResetWorkState()
{
    sCut = {false, 0, 0};
    sWork.bStarting = false;
    sWork.bClosing = false;
    sWork.pWaitingClose = nullptr;
}
