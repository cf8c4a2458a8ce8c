// Program entry of the router driver: zur.exe DEVICE
#include "app/driver.h"

#include <string>

#include "config/profile.h"
#include "core/device_arg.h"
#include "core/log.h"

namespace {

// What the driver returns when its command line names no device.
const int kExitBadCommandLine = 3;

// The debug log's lines go to the platform's debug output.
void WriteDebugOutput(const char* pLine)
{
    OutputDebugStringA(pLine);
}

typedef BOOL(WINAPI* SetMessageQueueFn)(int);

// The depth of message queue asked for first; a smaller one is asked for
// each time the call refuses, down to one message.
const int kMessageQueueDepth = 127;

// Asks for a deep message queue where the platform still offers the call
// (32-bit Windows); elsewhere the queue is already large enough.
void RequestMessageQueue()
{
    HMODULE hUser = GetModuleHandleA("user32.dll");
    if (hUser == nullptr) return;
    SetMessageQueueFn pSetQueue = reinterpret_cast<SetMessageQueueFn>(
        reinterpret_cast<void*>(GetProcAddress(hUser, "SetMessageQueue")));
    if (pSetQueue == nullptr) return;
    for (int n = kMessageQueueDepth; n >= 1; --n) {
        if (pSetQueue(n)) return;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR pCmdLine, int nShow)
{
    SetDebugSink(WriteDebugOutput);

    // The command line is checked before anything else: a mistyped number
    // must not find, load or write back the profile of another device.
    int iDevice = 0;
    if (!ParseDeviceArgument(pCmdLine, &iDevice)) {
        const std::string sText = "zur.exe " + DeviceArgumentProblem(pCmdLine) + " No file was read or written.";
        MessageBoxA(nullptr, sText.c_str(), "! Error !", MB_OK);
        return kExitBadCommandLine;
    }
    SetDeviceNumber(iDevice);

    RequestMessageQueue();

    if (hPrevInstance == nullptr && !RegisterMainClass(hInstance)) return 0;
    if (!CreateMainWindow(hInstance, nShow)) return 0;

    MSG msg;
    msg.wParam = 0;
    for (;;) {
        BOOL bGot = GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0) break;            // the quit request
        if (bGot < 0) return 0;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
