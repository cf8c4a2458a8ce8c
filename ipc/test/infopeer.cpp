// A minimal InfoDriver for the link tests: 4096 slots, answers to connect,
// slot reads and writes, level-map defaults and TX/RX state, and a log file
// with one line per message it received (slot reads are not logged).
//   infopeer_test_helper DEVICE LOGFILE [--state=N] [--mangle] [SLOT=TEXT ...]
// --mangle answers a level-map default write with a text other than the one
// it received. Ends itself after two minutes.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/messages.h"
#include "ipc/transport.h"

namespace {

int iPeerDevice = 0;
int iState = 1;
bool bMangle = false;
FILE* pLog = nullptr;
std::string asSlot[4097];

void Log(const char* pFormat, ...)
{
    va_list args;
    va_start(args, pFormat);
    std::vfprintf(pLog, pFormat, args);
    va_end(args);
    std::fputc('\n', pLog);
    std::fflush(pLog);
}

bool IsSlot(WPARAM wParam) { return wParam >= 1 && wParam <= 4096; }

LRESULT CALLBACK PeerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    char* pBlock = reinterpret_cast<char*>(lParam);
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case MSG_INFO_CONNECT:
        Log("2724 %ld", static_cast<long>(lParam));
        if (lParam == (iPeerDevice | 0x8000)) {
            SendMessageA(reinterpret_cast<HWND>(wParam), MSG_INFO_CONNECT_ANSWER, reinterpret_cast<WPARAM>(hWnd), 0);
        }
        return 0;
    case MSG_INFO_DISCONNECT:
        Log("2725 %s %ld", reinterpret_cast<HWND>(wParam) == hWnd ? "self" : "other", static_cast<long>(lParam));
        return 0;
    case MSG_INFO_SLOT_WRITE:
        Log("2726 %d %s", static_cast<int>(wParam), pBlock);
        if (IsSlot(wParam)) asSlot[wParam] = pBlock;
        return 0;
    case MSG_INFO_SLOT_READ:
        std::snprintf(pBlock, kTextBlockSize, "%s", IsSlot(wParam) ? asSlot[wParam].c_str() : "");
        return 0;
    case MSG_LEVELMAP_DEFAULT:
        Log("2731 %d %s", static_cast<int>(wParam), pBlock);
        if (IsSlot(wParam)) asSlot[wParam] = pBlock;
        if (bMangle) std::snprintf(pBlock, kTextBlockSize, "mangled %d", static_cast<int>(wParam));
        return 0;
    case MSG_INFO_TXRX_QUERY:
        Log("2732");
        return iState;
    case MSG_INFO_TXRX_SET:
        Log("2733 %d", static_cast<int>(wParam));
        iState = wParam == 3 ? 2 : 1;
        return 0;
    case WM_TIMER:
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    iPeerDevice = std::atoi(argv[1]);
    pLog = std::fopen(argv[2], "w");
    if (pLog == nullptr) return 2;
    for (int i = 3; i < argc; ++i) {
        if (std::strncmp(argv[i], "--state=", 8) == 0) {
            iState = std::atoi(argv[i] + 8);
        } else if (std::strcmp(argv[i], "--mangle") == 0) {
            bMangle = true;
        } else if (const char* pEquals = std::strchr(argv[i], '=')) {
            int iSlot = std::atoi(argv[i]);
            if (iSlot >= 1 && iSlot <= 4096) asSlot[iSlot] = pEquals + 1;
        }
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = PeerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZurTestInfoPeer";
    RegisterClassA(&wc);
    char acTitle[32];
    std::snprintf(acTitle, sizeof acTitle, "infopeer %d", iPeerDevice);
    HWND hWnd = CreateWindowA(wc.lpszClassName, acTitle, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    SetTimer(hWnd, 1, 120000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    std::fclose(pLog);
    return 0;
}
