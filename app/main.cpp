// Program entry of the router driver: zur.exe DEVICE
#include "app/driver.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nShow)
{
    if (!RegisterMainClass(hInstance)) return 0;
    if (!CreateMainWindow(hInstance, nShow)) return 0;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
