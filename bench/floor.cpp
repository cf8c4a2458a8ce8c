// zurfloor: the far end of the floor measurement. A hidden top-level window
// that answers every text request through the request/reply transport with
// its own text, and does nothing else: no record, no lookup, no state. The
// cost of an exchange with it is what the platform charges for one request
// and its nested reply.
#include "ipc/transport.h"

LRESULT CALLBACK FloorWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    // A request handed on by the transport: the reply is the text as it came.
    if (uMsg >= 2000 && uMsg < 3000) return 0;
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

int main()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZurFloor";
    if (!RegisterClassA(&wc)) return 4;
    HWND hWnd = CreateWindowA("ZurFloor", "Floor peer", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
    if (hWnd == nullptr) return 4;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
