// The one window helper of the tests: a small top-level window of its own
// class (registered on first use) with the given procedure, on the calling
// thread. Its title is the class name unless one is given.
#pragma once
#include <windows.h>

inline HWND MakeWindow(const char* pClass, WNDPROC pProc, const char* pTitle = nullptr)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = pProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = pClass;
    RegisterClassA(&wc);   // fails harmlessly for a class registered before
    return CreateWindowA(pClass, pTitle != nullptr ? pTitle : pClass, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         wc.hInstance, nullptr);
}
