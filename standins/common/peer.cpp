#include "standins/common/peer.h"

#include "core/messages.h"
#include "ipc/transport.h"
#include "standins/common/peerscript.h"
#include "standins/common/peertext.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::string sTag;
int bRecordQuiet = 0;
HANDLE hRecordLog = INVALID_HANDLE_VALUE;
int bRecordKeep = 0;
std::vector<std::string> asRecord;

std::vector<int> aiHidden;   // message numbers kept off stdout

int iDeliveryMessage = 0;
int iDeliveryKind = kDeliveryPlain;

// The wait in progress (PumpMessages) and its wake-up: a message posted to
// this thread, never to a window, once the wait's condition holds.
int (*pfnWaitDone)(void*) = nullptr;
void* pWaitArg = nullptr;
int bWakePosted = 0;
const UINT kWakeMessage = WM_APP + 0x3F0;
const UINT kWaitSlice = 20;   // ms between looks at the time and the condition

// Called when a record is added: wakes the wait when its condition now holds.
void WakeWait()
{
    if (pfnWaitDone == nullptr || bWakePosted || !pfnWaitDone(pWaitArg)) return;
    if (PostThreadMessageA(GetCurrentThreadId(), kWakeMessage, 0, 0)) bWakePosted = 1;
}

void WriteAll(HANDLE h, const std::string& s)
{
    DWORD dwDone = 0;
    WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &dwDone, nullptr);
}

}  // namespace

int OpenRecord(const char* pTag, int bQuiet, const char* pLogPath)
{
    sTag = pTag;
    bRecordQuiet = bQuiet;
    // Lines end in a bare LF on every stream, so that readers need not care.
    _setmode(_fileno(stdout), _O_BINARY);
    if (pLogPath != nullptr) {
        // Shared for reading and writing, so that a test can follow the log
        // while this program runs.
        hRecordLog = CreateFileA(pLogPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hRecordLog == INVALID_HANDLE_VALUE) return 0;
    }
    return 1;
}

void CloseRecord()
{
    std::fflush(stdout);
    if (hRecordLog != INVALID_HANDLE_VALUE) CloseHandle(hRecordLog);
    hRecordLog = INVALID_HANDLE_VALUE;
}

int HideOnScreen(const char* pList)
{
    std::string s = pList;
    size_t iStart = 0;
    for (;;) {
        size_t iEnd = s.find(',', iStart);
        std::string sNumber = s.substr(iStart, iEnd == std::string::npos ? std::string::npos : iEnd - iStart);
        long long ll = 0;
        if (!ParseInteger(sNumber.c_str(), &ll) || ll < 1 || ll > 0xFFFF) return 0;
        aiHidden.push_back(static_cast<int>(ll));
        if (iEnd == std::string::npos) return 1;
        iStart = iEnd + 1;
    }
}

static int Hidden(const std::string& sRest)
{
    int iMessage = std::atoi(sRest.c_str());
    for (int i : aiHidden) {
        if (i == iMessage) return 1;
    }
    return 0;
}

void RecordLine(const char* pDir, const std::string& sRest)
{
    std::string sLine = sTag + " " + pDir + " " + sRest;
    if (bRecordKeep) asRecord.push_back(sLine);
    sLine.push_back('\n');
    if (!bRecordQuiet && !Hidden(sRest)) {
        std::fwrite(sLine.data(), 1, sLine.size(), stdout);
        std::fflush(stdout);
    }
    if (hRecordLog != INVALID_HANDLE_VALUE) WriteAll(hRecordLog, sLine);
    WakeWait();
}

void KeepRecord(int bKeep)
{
    bRecordKeep = bKeep;
}

int RecordCount()
{
    return static_cast<int>(asRecord.size());
}

const std::string& RecordAt(int i)
{
    return asRecord[static_cast<size_t>(i)];
}

int RecordWanted()
{
    return !bRecordQuiet || hRecordLog != INVALID_HANDLE_VALUE || bRecordKeep;
}

static std::string Head(int iMessage)
{
    char ac[96];
    std::snprintf(ac, sizeof ac, "%d %s", iMessage, MessageName(iMessage));
    return ac;
}

void RecordPlain(const char* pDir, int iMessage, WPARAM wParam, LPARAM lParam, LRESULT lResult)
{
    if (!RecordWanted()) return;
    char ac[128];
    std::snprintf(ac, sizeof ac, " wparam=%llu lparam=%lld result=%lld",
                  static_cast<unsigned long long>(wParam), static_cast<long long>(lParam),
                  static_cast<long long>(lResult));
    RecordLine(pDir, Head(iMessage) + ac);
}

void RecordText(const char* pDir, int iMessage, int iValue, const char* pText, const char* pReply,
                LRESULT lResult)
{
    if (!RecordWanted()) return;
    char ac[64];
    std::snprintf(ac, sizeof ac, " value=%d text=", iValue);
    std::string s = Head(iMessage) + ac;
    QuoteText(pText, kTextBlockSize, &s);
    if (pReply != nullptr && std::string(pReply) != std::string(pText)) {
        s += " reply=";
        QuoteText(pReply, kTextBlockSize, &s);
    }
    std::snprintf(ac, sizeof ac, " result=%lld", static_cast<long long>(lResult));
    RecordLine(pDir, s + ac);
}

void RecordNumber(const char* pDir, int iMessage, int iValue, unsigned long ulNumber, LRESULT lResult)
{
    if (!RecordWanted()) return;
    char ac[96];
    std::snprintf(ac, sizeof ac, " value=%d number=%lu result=%lld", iValue, ulNumber,
                  static_cast<long long>(lResult));
    RecordLine(pDir, Head(iMessage) + ac);
}

void RecordNameRequest(const char* pDir, int iValue, int iDevice, int iDatabase, int iIndex,
                       const char* pReply, LRESULT lResult)
{
    if (!RecordWanted()) return;
    char ac[96];
    std::snprintf(ac, sizeof ac, " value=%d device=%d database=%d index=%d reply=", iValue, iDevice,
                  iDatabase, iIndex);
    std::string s = Head(MSG_NAME_REQUEST) + ac;
    QuoteText(pReply, kTextBlockSize, &s);
    std::snprintf(ac, sizeof ac, " result=%lld", static_cast<long long>(lResult));
    RecordLine(pDir, s + ac);
}

LRESULT PeerWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, PeerTextHandler pfnText,
                       PeerPlainHandler pfnPlain)
{
    switch (uMsg) {
    case WM_COPYDATA:
        return PeerCopyData(hWnd, wParam, lParam);
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    if (uMsg >= 2000 && uMsg < 3000) {
        int iKind = TakeDeliveryKind(uMsg);
        if (iKind == kDeliveryText) return pfnText(uMsg, wParam, lParam);
        return pfnPlain(uMsg, wParam, lParam, iKind);
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT PeerCopyData(HWND hOwn, WPARAM wParam, LPARAM lParam)
{
    const COPYDATASTRUCT* pCds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    int iSavedMessage = iDeliveryMessage;
    int iSavedKind = iDeliveryKind;
    if (pCds != nullptr) {
        iDeliveryMessage = EnvelopeMessage(pCds->dwData);
        iDeliveryKind = (pCds->lpData != nullptr && pCds->cbData == static_cast<DWORD>(kNumericBlockSize))
                            ? kDeliveryNumber
                            : kDeliveryText;
    }
    HandleCopyData(hOwn, wParam, lParam);
    iDeliveryMessage = iSavedMessage;
    iDeliveryKind = iSavedKind;
    return 1;
}

int TakeDeliveryKind(UINT uMsg)
{
    if (iDeliveryMessage == 0 || static_cast<int>(uMsg) != iDeliveryMessage) return kDeliveryPlain;
    int iKind = iDeliveryKind;
    iDeliveryMessage = 0;   // a later plain message of the same number is plain
    iDeliveryKind = kDeliveryPlain;
    return iKind;
}

LRESULT AnswerBroadcast(HWND hBroadcaster, UINT uMessage, HWND hOwn, int iDelayMs)
{
    if (iDelayMs > 0) Sleep(static_cast<DWORD>(iDelayMs));
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(hBroadcaster, uMessage, reinterpret_cast<WPARAM>(hOwn), 0,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &dwResult)) {
        return -1;
    }
    return static_cast<LRESULT>(dwResult);
}

static HWND hPeerWindow = nullptr;

static BOOL WINAPI OnConsoleEvent(DWORD)
{
    if (hPeerWindow == nullptr) return FALSE;
    PostMessageA(hPeerWindow, WM_CLOSE, 0, 0);
    return TRUE;
}

HWND CreatePeerWindow(const char* pClass, const char* pTitle, WNDPROC pProc)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = pProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = pClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    if (!RegisterClassA(&wc)) return nullptr;
    hPeerWindow = CreateWindowA(pClass, pTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    if (hPeerWindow != nullptr) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return hPeerWindow;
}

// The wait without a timer (none could be set): looks for messages and at
// the condition in turns, sleeping at most kWaitSlice ms in between.
static int PumpPolling(DWORD dwStart, DWORD dwMs, int (*pfnDone)(void*), void* pArg)
{
    for (;;) {
        if (pfnDone != nullptr && pfnDone(pArg)) return kPumpDone;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return kPumpQuit;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        // PeekMessageA has just handled the messages that other processes
        // sent: look again before sleeping.
        if (pfnDone != nullptr && pfnDone(pArg)) return kPumpDone;
        DWORD dwPassed = GetTickCount() - dwStart;
        if (dwPassed >= dwMs) return kPumpTimeUp;
        DWORD dwLeft = dwMs - dwPassed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwLeft < kWaitSlice ? dwLeft : kWaitSlice, QS_ALLINPUT);
    }
}

int PumpMessages(DWORD dwMs, int (*pfnDone)(void*), void* pArg)
{
    DWORD dwStart = GetTickCount();
    if (pfnDone != nullptr && pfnDone(pArg)) return kPumpDone;
    // The wait sleeps in GetMessageA, which handles the messages that other
    // processes send while it waits, at no cost beyond the exchange itself.
    // What may end the wait wakes it: a new record posts kWakeMessage once the
    // condition holds (WakeWait), and a timer lets it look at the time and at
    // conditions that no message brings (a window gone) every kWaitSlice ms.
    UINT_PTR idTimer = SetTimer(nullptr, 0, kWaitSlice, nullptr);
    if (idTimer == 0) return PumpPolling(dwStart, dwMs, pfnDone, pArg);
    int (*pfnOuterDone)(void*) = pfnWaitDone;
    void* pOuterArg = pWaitArg;
    pfnWaitDone = pfnDone;
    pWaitArg = pArg;
    bWakePosted = 0;
    int iResult;
    for (;;) {
        if (pfnDone != nullptr && pfnDone(pArg)) {
            iResult = kPumpDone;
            break;
        }
        if (GetTickCount() - dwStart >= dwMs) {
            iResult = kPumpTimeUp;
            break;
        }
        MSG msg;
        BOOL bGot = GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0 || bGot == -1) {
            PostQuitMessage(bGot == 0 ? static_cast<int>(msg.wParam) : 0);
            iResult = kPumpQuit;
            break;
        }
        if (msg.hwnd == nullptr && msg.message == kWakeMessage) {
            bWakePosted = 0;
            continue;
        }
        if (msg.hwnd == nullptr && msg.message == WM_TIMER) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    KillTimer(nullptr, idTimer);
    pfnWaitDone = pfnOuterDone;
    pWaitArg = pOuterArg;
    return iResult;
}

int ReadWholeFile(const char* pPath, std::string* psText)
{
    FILE* pFile = std::fopen(pPath, "rb");
    if (pFile == nullptr) return 0;
    psText->clear();
    char ac[4096];
    size_t n;
    while ((n = std::fread(ac, 1, sizeof ac, pFile)) > 0) psText->append(ac, n);
    int bOk = !std::ferror(pFile);
    std::fclose(pFile);
    return bOk;
}

int ParseCommonOption(int argc, char** argv, int* pi, PeerOptions* pOptions, std::string* psError)
{
    int i = *pi;
    std::string sArg = argv[i];
    int bHasValue = i + 1 < argc;
    if (sArg == "--quiet") {
        pOptions->bQuiet = 1;
        return kOptionTaken;
    }
    if (sArg != "--hide" && sArg != "--answer-delay" && sArg != "--attach-delay" && sArg != "--log" &&
        sArg != "--script" && sArg != "-e") {
        return kOptionNone;
    }
    if (!bHasValue) {
        *psError = sArg == "--hide"           ? "--hide needs message numbers, as 2727,2731"
                   : sArg == "--answer-delay" ? "--answer-delay needs a time in milliseconds, 0..60000"
                   : sArg == "--attach-delay" ? "--attach-delay needs a time in milliseconds, 0..60000"
                   : sArg == "--log"          ? "--log needs a file name"
                   : sArg == "--script"       ? "--script needs a file name"
                                              : "-e needs a script step";
        return kOptionUsage;
    }
    const char* pValue = argv[++i];
    *pi = i;
    if (sArg == "--hide") {
        if (HideOnScreen(pValue)) return kOptionTaken;
        *psError = "--hide needs message numbers, as 2727,2731";
        return kOptionUsage;
    }
    if (sArg == "--answer-delay" || sArg == "--attach-delay") {
        char* pEnd = nullptr;
        long l = std::strtol(pValue, &pEnd, 10);
        if (*pEnd != '\0' || l < 0 || l > 60000) {
            *psError = sArg + " needs a time in milliseconds, 0..60000";
            return kOptionUsage;
        }
        (sArg == "--answer-delay" ? pOptions->iAnswerDelay : pOptions->iAttachDelay) = static_cast<int>(l);
        return kOptionTaken;
    }
    if (sArg == "--log") {
        pOptions->pLog = pValue;
        return kOptionTaken;
    }
    std::string sError;
    if (sArg == "--script") {
        if (LoadScriptFile(pValue, &sError)) return kOptionTaken;
        *psError = sError;
        return kOptionBadFile;
    }
    if (AddScriptLine(pValue, ++pOptions->iExtraLine, &sError)) return kOptionTaken;
    *psError = std::string("-e \"") + pValue + "\": " + sError;
    return kOptionBadStep;
}
