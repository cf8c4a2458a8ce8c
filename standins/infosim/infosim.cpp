// infosim: a stand-in InfoDriver. It holds 4096 numbered text slots, links
// to a router driver that asks for its device number, answers slot reads
// and writes and the TX/RX state, and records every message it receives and
// sends.
#include "config/peer_files.h"
#include "core/messages.h"
#include "ipc/transport.h"
#include "standins/common/peer.h"
#include "standins/common/peerscript.h"
#include "standins/infosim/slots.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: infosim DEVICE [options]\n"
    "A stand-in InfoDriver with slots 1..4096 that answers a router driver\n"
    "and records the traffic.\n"
    "\n"
    "  DEVICE             its device number, 1..32767\n"
    "  --slots FILE       initial slot texts (lines: SLOT TEXT)\n"
    "  --txrx             start in state TX/RX (default: RX only)\n"
    "  --answer-delay MS  waits MS milliseconds before answering each text request\n"
    "  --attach-delay MS  busy MS milliseconds (taking no messages) before its first answer to 2724\n"
    "  --script FILE      steps to play once the window exists (see the README)\n"
    "  -e STEP            one more script step (after the file), repeatable\n"
    "  --log FILE         also write every record line to FILE\n"
    "  --hide LIST        keeps these message numbers (2727,2731) off the screen\n"
    "  --quiet            nothing on stdout\n"
    "  --help             this text\n"
    "\n"
    "Script steps \"set state 1|2\" and \"set answer-delay MS\" change the state and\n"
    "the delay of later answers. \"set late-answer N\" answers the next text request\n"
    "late, from inside its handler: it takes and answers messages meanwhile, until\n"
    "N later requests are answered (or 60 s have passed), then takes no message\n"
    "for 3 s, so that a request sent then waits behind the late answer.\n"
    "Exit codes: 0 done, 1 bad arguments, 2 bad file, 3 a script step failed,\n"
    "4 no window.\n";

int iDevice = 0;
int iAnswerDelay = 0;   // ms before each text request is answered
int iAttachDelay = 0;   // ms, busy, before the driver's broadcast is answered
int iState = 1;      // 2 TX/RX, 1 RX only
int iLateAnswer = 0;   // later requests answered before the next one (0: none)
int iInRequest = 0;    // text requests being handled (nested while one pumps)
int iAnsweredNested = 0;
HWND hWndOwn = nullptr;

int SetValue(const char* pName, long long llValue)
{
    if (std::strcmp(pName, "state") == 0) {
        iState = llValue == 2 ? 2 : 1;
        return 1;
    }
    if (std::strcmp(pName, "answer-delay") == 0 && llValue >= 0 && llValue <= 60000) {
        iAnswerDelay = static_cast<int>(llValue);
        return 1;
    }
    if (std::strcmp(pName, "late-answer") == 0 && llValue >= 1 && llValue <= 100) {
        iLateAnswer = static_cast<int>(llValue);
        return 1;
    }
    return 0;
}

// A peer that answers out of order: it handles the messages that arrive
// while it works on a request (a sync or a read sent after the requester
// gave up on this one is answered first), then is busy for a while, so that
// a request sent meanwhile is queued when the late answer goes out.
void AnswerLateFromInside(int nLater)
{
    const DWORD kPumpMs = 60000, kHoldMs = 3000;   // below the 5 s after which a peer counts as hung
    iAnsweredNested = 0;
    DWORD dwStart = GetTickCount();
    while (iAnsweredNested < nLater && GetTickCount() - dwStart < kPumpMs) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    Sleep(kHoldMs);
}

LRESULT OnTextRequest(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // A slow peer: the requester waits this long inside its request.
    if (iAnswerDelay > 0) Sleep(static_cast<DWORD>(iAnswerDelay));
    ++iInRequest;
    if (iInRequest > 1) {
        ++iAnsweredNested;
    } else if (iLateAnswer > 0) {
        int nLater = iLateAnswer;
        iLateAnswer = 0;
        AnswerLateFromInside(nLater);
    }
    --iInRequest;
    char* pBlock = reinterpret_cast<char*>(lParam);
    int iSlot = static_cast<int>(wParam);
    char acReceived[kTextBlockSize + 1];
    std::memcpy(acReceived, pBlock, kTextBlockSize + 1);
    switch (uMsg) {
    case MSG_INFO_SLOT_WRITE:
    case MSG_LEVELMAP_DEFAULT:
        // The slot takes the text; the reply is the text as it came.
        SetSlotText(iSlot, pBlock);
        break;
    case MSG_INFO_SLOT_READ:
        // The reply is the slot's text; a slot outside 1..4096 reads empty.
        std::memset(pBlock, 0, kTextBlockSize);
        std::strncpy(pBlock, SlotText(iSlot), kTextBlockSize - 1);
        break;
    default:
        break;
    }
    RecordText("<-", static_cast<int>(uMsg), iSlot, acReceived, pBlock, 0);
    return 0;
}

LRESULT OnPlain(UINT uMsg, WPARAM wParam, LPARAM lParam, int iKind)
{
    LRESULT lResult = 0;
    int bConnect = 0;
    switch (uMsg) {
    case MSG_INFO_CONNECT:
        bConnect = iKind == kDeliveryPlain && (lParam & 0x7FFF) == iDevice;
        break;
    case MSG_INFO_TXRX_QUERY:
        lResult = iState == 2 ? 2 : 1;
        break;
    case MSG_INFO_TXRX_SET:
        if (wParam == 3) iState = 2;
        if (wParam == 1) iState = 1;
        break;
    case MSG_INFO_NOTICE:
        lResult = 1;
        break;
    default:
        break;
    }
    if (iKind == kDeliveryNumber) {
        RecordNumber("<-", static_cast<int>(uMsg), static_cast<int>(wParam), static_cast<unsigned long>(lParam),
                     lResult);
    } else {
        RecordPlain("<-", static_cast<int>(uMsg), wParam, lParam, lResult);
    }
    if (bConnect) {
        // The driver asks for this device: answer with this window, at once,
        // while its broadcast is still in progress.
        HWND hDriver = reinterpret_cast<HWND>(wParam);
        SetDriverWindow(hDriver);
        // Busy only before its first answer: a slow start, after which the
        // driver's confirming 2724 is answered at once.
        LRESULT lSent = AnswerBroadcast(hDriver, MSG_INFO_CONNECT_ANSWER, hWndOwn, iAttachDelay);
        iAttachDelay = 0;
        RecordPlain("->", MSG_INFO_CONNECT_ANSWER, reinterpret_cast<WPARAM>(hWndOwn), 0, lSent);
    }
    return lResult;
}

LRESULT CALLBACK InfoWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return PeerWindowProc(hWnd, uMsg, wParam, lParam, OnTextRequest, OnPlain);
}

int Usage(const char* pWhy)
{
    std::fprintf(stderr, "infosim: %s\n%s", pWhy, kUsage);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    PeerOptions options = {nullptr, 0, 0, 0, 0};
    SetScriptHook(SetValue);
    for (int i = 1; i < argc; ++i) {
        std::string sError;
        int iOption = ParseCommonOption(argc, argv, &i, &options, &sError);
        if (iOption == kOptionTaken) continue;
        if (iOption == kOptionUsage) return Usage(sError.c_str());
        if (iOption != kOptionNone) {
            std::fprintf(stderr, "infosim: %s\n", sError.c_str());
            return iOption == kOptionBadFile ? 2 : 1;
        }
        std::string sArg = argv[i];
        int bHasValue = i + 1 < argc;
        if (sArg == "--help" || sArg == "-h" || sArg == "/?") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (sArg == "--txrx") {
            iState = 2;
        } else if (sArg == "--slots") {
            if (!bHasValue) return Usage("--slots needs a file name");
            std::vector<std::string> asError;
            if (!LoadSlotsFile(argv[++i], &asError)) {
                PrintErrors("infosim", asError, "not started");
                return 2;
            }
        } else if (!sArg.empty() && sArg[0] != '-' && iDevice == 0) {
            char* pEnd = nullptr;
            long l = std::strtol(sArg.c_str(), &pEnd, 10);
            if (*pEnd != '\0' || l < 1 || l > 32767) return Usage("DEVICE must be a number 1..32767");
            iDevice = static_cast<int>(l);
        } else {
            return Usage(("unknown argument \"" + sArg + "\"").c_str());
        }
    }
    if (iDevice == 0) return Usage("the device number is missing");

    char acTag[32];
    std::snprintf(acTag, sizeof acTag, "INFO%d", iDevice);
    iAnswerDelay = options.iAnswerDelay;
    iAttachDelay = options.iAttachDelay;
    std::string sScriptError;
    if (!FinishScript(&sScriptError)) {
        std::fprintf(stderr, "infosim: script: %s\n", sScriptError.c_str());
        return 2;
    }
    if (!OpenRecord(acTag, options.bQuiet, options.pLog)) {
        std::fprintf(stderr, "infosim: cannot create the log file %s\n", options.pLog);
        return 2;
    }
    if (ScriptStepCount() > 0) KeepRecord(1);

    char acTitle[64];
    std::snprintf(acTitle, sizeof acTitle, "InfoDriver %d", iDevice);
    hWndOwn = CreatePeerWindow("InfoSim", acTitle, InfoWndProc);
    if (hWndOwn == nullptr) {
        std::fprintf(stderr, "infosim: cannot create the window\n");
        return 4;
    }
    char ac[160];
    std::snprintf(ac, sizeof ac, "infosim window=%llu pid=%lu device=%d state=%d slots=%d",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hWndOwn)), GetCurrentProcessId(),
                  iDevice, iState, FilledSlotCount());
    RecordLine("**", ac);

    int iExit = RunScript(hWndOwn);
    if (iExit < 0) {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        iExit = 0;
    }
    std::snprintf(ac, sizeof ac, "exit code=%d", iExit);
    RecordLine("**", ac);
    CloseRecord();
    return iExit;
}
