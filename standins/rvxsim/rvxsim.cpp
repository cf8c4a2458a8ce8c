// rvxsim: a stand-in for RVX, the control system's interface program. It
// answers a router driver as RVX does (attach, interface number,
// registration, text requests, name requests), records every message it
// receives and sends, and can play a script of router commands and control
// messages to the driver.
#include "core/messages.h"
#include "ipc/transport.h"
#include "standins/common/peer.h"
#include "standins/common/peerscript.h"
#include "standins/rvxsim/names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: rvxsim [options]\n"
    "A stand-in for RVX: answers a router driver and records the traffic.\n"
    "\n"
    "  --interface N        answer to 2119 (interface number), default 1\n"
    "  --register-answer N  answer to 2184 (register) always: 0 registered, 1 invalid\n"
    "                       id, 2 id already registered, 3 not in driver mode;\n"
    "                       default: 0, or 2 while another live window holds the id\n"
    "  --answer-delay MS    waits MS milliseconds before answering each text request\n"
    "  --attach-delay MS    busy MS milliseconds (taking no messages) before answering 2031\n"
    "  --names FILE         names for 2164 name requests (lines: src|dst NUMBER NAME)\n"
    "  --script FILE        steps to play once the window exists\n"
    "  -e STEP              one more script step (after the file), repeatable\n"
    "  --log FILE           also write every record line to FILE\n"
    "  --hide LIST          keeps these message numbers (2187,2188) off the screen\n"
    "  --quiet              nothing on stdout\n"
    "  --help               this text\n"
    "\n"
    "Script steps: wait-attach, find-driver, send, number, plain, post, sleep,\n"
    "expect, expect-line, expect-none, clear, mark, elapsed, repeat/end, debug,\n"
    "set interface N, set register-answer N, wait-closed, quit (see the README).\n"
    "Exit codes: 0 done, 1 bad arguments, 2 bad file, 3 a script step failed,\n"
    "4 no window.\n";

int iInterfaceNumber = 1;
int iAnswerDelay = 0;   // ms before each text request is answered
int iAttachDelay = 0;   // ms, busy, before the driver's broadcast is answered
const int kRegisterAuto = -1;
int iRegisterAnswer = kRegisterAuto;
HWND ahRegistered[0x8000];   // by device number: the window that registered it
HWND hWndOwn = nullptr;

int SetAnswer(const char* pName, long long llValue)
{
    if (std::strcmp(pName, "interface") == 0) {
        iInterfaceNumber = static_cast<int>(llValue);
        return 1;
    }
    if (std::strcmp(pName, "register-answer") == 0) {
        iRegisterAnswer = static_cast<int>(llValue);
        return 1;
    }
    return 0;
}

// Registration of a device number by a driver window. RVX refuses a number
// that another driver holds; a holder whose window has gone holds nothing.
int Register(HWND hDriver, int iDevice)
{
    int iAnswer = iRegisterAnswer;
    if (iAnswer == kRegisterAuto) {
        HWND hHolder = ahRegistered[iDevice];
        iAnswer = (hHolder != nullptr && hHolder != hDriver && IsWindow(hHolder)) ? 2 : 0;
    }
    if (iAnswer == 0) ahRegistered[iDevice] = hDriver;
    return iAnswer;
}

// A text request: recorded, and answered with its own text, except the name
// request, whose reply is the name asked for.
LRESULT OnTextRequest(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // A slow peer: the requester waits this long inside its request.
    if (iAnswerDelay > 0) Sleep(static_cast<DWORD>(iAnswerDelay));
    char* pBlock = reinterpret_cast<char*>(lParam);
    int iValue = static_cast<int>(wParam);
    if (uMsg == MSG_NAME_REQUEST) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(pBlock);
        int iDevice = p[0] | (p[1] << 8);
        int iDatabase = p[2] | (p[3] << 8);
        int iIndex = p[4] | (p[5] << 8);
        std::string sName = PackageName(iDatabase, iIndex);
        std::memset(pBlock, 0, kTextBlockSize);
        std::memcpy(pBlock, sName.data(), sName.size() < static_cast<size_t>(kTextBlockSize - 1)
                                              ? sName.size() : static_cast<size_t>(kTextBlockSize - 1));
        RecordNameRequest("<-", iValue, iDevice, iDatabase, iIndex, pBlock, 0);
        return 0;
    }
    RecordText("<-", static_cast<int>(uMsg), iValue, pBlock, nullptr, 0);
    return 0;
}

LRESULT OnPlain(UINT uMsg, WPARAM wParam, LPARAM lParam, int iKind)
{
    LRESULT lResult = 0;
    switch (uMsg) {
    case MSG_INTERFACE_NUMBER: lResult = iInterfaceNumber; break;
    case MSG_REGISTER:
        lResult = Register(reinterpret_cast<HWND>(wParam), static_cast<int>(lParam & 0x7FFF));
        if (iKind == kDeliveryPlain && wParam != 0) SetDriverWindow(reinterpret_cast<HWND>(wParam));
        break;
    case MSG_UNREGISTER:
        for (HWND& h : ahRegistered) {
            if (h == reinterpret_cast<HWND>(wParam)) h = nullptr;
        }
        break;
    default: break;
    }
    if (iKind == kDeliveryNumber) {
        RecordNumber("<-", static_cast<int>(uMsg), static_cast<int>(wParam), static_cast<unsigned long>(lParam),
                     lResult);
    } else {
        RecordPlain("<-", static_cast<int>(uMsg), wParam, lParam, lResult);
    }
    if (uMsg == MSG_ATTACH && iKind == kDeliveryPlain) {
        // The driver looks for RVX: answer with this window, at once, while
        // its broadcast is still in progress.
        HWND hDriver = reinterpret_cast<HWND>(wParam);
        SetDriverWindow(hDriver);
        LRESULT lSent = AnswerBroadcast(hDriver, MSG_RVX_WINDOW, hWndOwn, iAttachDelay);
        RecordPlain("->", MSG_RVX_WINDOW, reinterpret_cast<WPARAM>(hWndOwn), 0, lSent);
    }
    return lResult;
}

LRESULT CALLBACK RvxWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return PeerWindowProc(hWnd, uMsg, wParam, lParam, OnTextRequest, OnPlain);
}

int Usage(const char* pWhy)
{
    std::fprintf(stderr, "rvxsim: %s\n%s", pWhy, kUsage);
    return 1;
}

int IntArg(const char* pText, int* piValue)
{
    char* pEnd = nullptr;
    long l = std::strtol(pText, &pEnd, 0);
    if (pEnd == pText || *pEnd != '\0' || l < -2147483647L || l > 2147483647L) return 0;
    *piValue = static_cast<int>(l);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    PeerOptions options = {nullptr, 0, 0, 0, 0};
    SetScriptHook(SetAnswer);
    for (int i = 1; i < argc; ++i) {
        std::string sError;
        int iOption = ParseCommonOption(argc, argv, &i, &options, &sError);
        if (iOption == kOptionTaken) continue;
        if (iOption == kOptionUsage) return Usage(sError.c_str());
        if (iOption != kOptionNone) {
            std::fprintf(stderr, "rvxsim: %s\n", sError.c_str());
            return iOption == kOptionBadFile ? 2 : 1;
        }
        std::string sArg = argv[i];
        int bHasValue = i + 1 < argc;
        if (sArg == "--help" || sArg == "-h" || sArg == "/?") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (sArg == "--interface" || sArg == "--register-answer") {
            int iValue = 0;
            if (!bHasValue || !IntArg(argv[i + 1], &iValue)) return Usage((sArg + " needs a number").c_str());
            (sArg == "--interface" ? iInterfaceNumber : iRegisterAnswer) = iValue;
            ++i;
        } else if (sArg == "--names") {
            if (!bHasValue) return Usage("--names needs a file name");
            std::string sError;
            if (!LoadNamesFile(argv[++i], &sError)) {
                std::fprintf(stderr, "rvxsim: %s\n", sError.c_str());
                return 2;
            }
        } else {
            return Usage(("unknown argument \"" + sArg + "\"").c_str());
        }
    }
    iAnswerDelay = options.iAnswerDelay;
    iAttachDelay = options.iAttachDelay;
    std::string sScriptError;
    if (!FinishScript(&sScriptError)) {
        std::fprintf(stderr, "rvxsim: script: %s\n", sScriptError.c_str());
        return 2;
    }
    if (!OpenRecord("RVX", options.bQuiet, options.pLog)) {
        std::fprintf(stderr, "rvxsim: cannot create the log file %s\n", options.pLog);
        return 2;
    }
    if (ScriptStepCount() > 0) KeepRecord(1);

    hWndOwn = CreatePeerWindow("RvxSim", "RVX stand-in", RvxWndProc);
    if (hWndOwn == nullptr) {
        std::fprintf(stderr, "rvxsim: cannot create the window\n");
        return 4;
    }
    char ac[160];
    std::string sAnswer = iRegisterAnswer == kRegisterAuto ? "auto" : std::to_string(iRegisterAnswer);
    std::snprintf(ac, sizeof ac, "rvxsim window=%llu pid=%lu interface=%d register-answer=%s",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hWndOwn)), GetCurrentProcessId(),
                  iInterfaceNumber, sAnswer.c_str());
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
