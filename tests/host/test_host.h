// A test program playing the driver: it owns the main window and hosts the
// driver's modules, with peers on another thread or in other processes.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Creates the main window (the driver's hWndMain). Its procedure runs the
// transport for WM_COPYDATA and hands the wparam of 2729 to the links.
void CreateHostWindow();

// Handles whatever reaches this thread for about iMilliseconds.
void PumpFor(DWORD dwMilliseconds);

// Points CC_ROOT/CC_SYSTEM at a fresh temporary tree and creates its
// configuration directory; returns that directory. Sets the device number.
std::string UseTempConfigDir(int iDevice);

// Writes the device's profile DEV_nnn.INI in the configuration directory
// with the text sIni and loads it as the start-up does. Returns what
// LoadDeviceProfile found missing.
int LoadTestProfile(const std::string& sConfigDir, const std::string& sIni);

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
// result 0 and records it, and gives 1 as its interface number.
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
