#include "tests/host/test_host.h"

#include <cstdio>

#include "config/profile.h"
#include "core/messages.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/transport.h"
#include "tests/host/tree.h"
#include "tests/host/window.h"

namespace {

LRESULT CALLBACK HostProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case MSG_INFO_CONNECT_ANSWER:
        OnInfoConnectAnswer(reinterpret_cast<HWND>(wParam));
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// The temporary trees of this run, removed when the test program ends.
struct TempTrees {
    std::vector<std::string> asRoot;
    ~TempTrees()
    {
        for (const std::string& sRoot : asRoot) RemoveTree(sRoot);
    }
} sTempTrees;

}  // namespace

void CreateHostWindow()
{
    SetMainWindow(MakeWindow("ZurTestHost", HostProc));
}

void PumpFor(DWORD dwMilliseconds)
{
    DWORD dwEnd = GetTickCount() + dwMilliseconds;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (static_cast<int>(dwEnd - GetTickCount()) > 0);
}

std::string UseTempConfigDir(int iDeviceNumber)
{
    char acTemp[MAX_PATH];
    GetTempPathA(sizeof acTemp, acTemp);
    char acRoot[MAX_PATH];
    std::snprintf(acRoot, sizeof acRoot, "%szur%lu_%lu", acTemp, GetCurrentProcessId(), GetTickCount());
    CreateDirectoryA(acRoot, nullptr);
    sTempTrees.asRoot.push_back(acRoot);
    std::string sDir = std::string(acRoot) + "\\sys";
    CreateDirectoryA(sDir.c_str(), nullptr);
    sDir += "\\config";
    CreateDirectoryA(sDir.c_str(), nullptr);
    sDir += "\\system";
    CreateDirectoryA(sDir.c_str(), nullptr);
    SetEnvironmentVariableA("CC_ROOT", acRoot);
    SetEnvironmentVariableA("CC_SYSTEM", "sys");
    SetDeviceNumber(iDeviceNumber);
    return sDir;
}

int LoadTestProfile(const std::string& sConfigDir, const std::string& sIni)
{
    char acName[32];
    std::snprintf(acName, sizeof acName, "\\DEV_%03d.INI", Profile().iDevice);
    std::string sFile = sConfigDir + acName;
    WriteFileBytes(sFile, std::vector<unsigned char>(sIni.begin(), sIni.end()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());   // drop a cached copy
    return LoadDeviceProfile();
}

bool ReadFileBytes(const std::string& sName, std::vector<unsigned char>* pBytes)
{
    pBytes->clear();
    HANDLE hFile = CreateFileA(sName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    unsigned char acChunk[4096];
    DWORD nGot = 0;
    while (ReadFile(hFile, acChunk, sizeof acChunk, &nGot, nullptr) && nGot > 0) {
        pBytes->insert(pBytes->end(), acChunk, acChunk + nGot);
    }
    CloseHandle(hFile);
    return true;
}

bool WriteFileBytes(const std::string& sName, const std::vector<unsigned char>& acBytes)
{
    HANDLE hFile = CreateFileA(sName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    DWORD nWritten = 0;
    BOOL bOk = acBytes.empty() ||
               WriteFile(hFile, acBytes.data(), static_cast<DWORD>(acBytes.size()), &nWritten, nullptr);
    CloseHandle(hFile);
    return bOk && nWritten == acBytes.size();
}

std::mutex FakeRvx::mutex;
std::vector<Received> FakeRvx::received;

FakeRvx::FakeRvx()
{
    HANDLE hReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread = std::thread([this, hReady] {
        hWnd = MakeWindow("ZurTestRvx", Proc);
        SetEvent(hReady);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    WaitForSingleObject(hReady, 10000);
    CloseHandle(hReady);
}

FakeRvx::~FakeRvx()
{
    PostMessageA(hWnd, WM_CLOSE, 0, 0);
    thread.join();
}

std::vector<Received> FakeRvx::Take()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Received> out;
    out.swap(received);
    return out;
}

LRESULT CALLBACK FakeRvx::Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
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
    case MSG_INTERFACE_NUMBER:
        return 1;
    }
    if (uMsg >= 2000 && uMsg < 3000) {
        // Only text requests reach here with a block in lParam.
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back({static_cast<int>(uMsg), static_cast<int>(wParam), reinterpret_cast<const char*>(lParam)});
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}
