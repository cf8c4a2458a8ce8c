// A test program playing the driver: it owns the main window and hosts the
// driver's modules, with peers on another thread or in other processes.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Creates the main window (sets hWndMain). Its procedure runs the transport
// for WM_COPYDATA and keeps the wparam of 2729 in hWndInfoAnswer.
void CreateHostWindow();

// Handles whatever reaches this thread for about iMilliseconds.
void PumpFor(DWORD dwMilliseconds);

// Points CC_ROOT/CC_SYSTEM at a fresh temporary tree and creates its
// configuration directory; returns that directory. Sets iDevice.
std::string UseTempConfigDir(int iDevice);

// Reads a whole file; false when it cannot be opened.
bool ReadFileBytes(const std::string& sName, std::vector<unsigned char>* pBytes);
bool WriteFileBytes(const std::string& sName, const std::vector<unsigned char>& acBytes);

// One text request a peer received.
struct Received {
    int iMessage;
    int iValue;
    std::string sText;
};

// A stand-in RVX on its own thread: it answers every text request with
// result 0 and records it.
class FakeRvx {
public:
    FakeRvx();
    ~FakeRvx();
    HWND Window() const { return hWnd; }
    std::vector<Received> Take();   // what arrived since the last call

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    HWND hWnd = nullptr;
    std::thread thread;
    static std::mutex mutex;
    static std::vector<Received> received;
};
