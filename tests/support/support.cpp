#include "tests/support/support.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

std::string ExeDir()
{
    char acPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, acPath, sizeof acPath);
    std::string s(acPath, n < sizeof acPath ? n : 0);
    size_t i = s.find_last_of("\\/");
    return i == std::string::npos ? std::string() : s.substr(0, i + 1);
}

std::string TempFile(const char* pStem, const char* pExt)
{
    static int iCount = 0;
    char acDir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof acDir, acDir);
    std::string sDir(acDir, n < sizeof acDir ? n : 0);
    if (!sDir.empty() && sDir.back() != '\\') sDir.push_back('\\');
    char ac[MAX_PATH + 64];
    std::snprintf(ac, sizeof ac, "%s%s-%lu-%d.%s", sDir.c_str(), pStem, GetCurrentProcessId(), ++iCount, pExt);
    return ac;
}

bool WriteTextFile(const std::string& sPath, const std::string& sText)
{
    FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (pFile == nullptr) return false;
    bool bOk = std::fwrite(sText.data(), 1, sText.size(), pFile) == sText.size();
    return std::fclose(pFile) == 0 && bOk;
}

// This process's environment with the given entries added or replaced, as
// an environment block.
static std::string EnvironmentBlock(const std::vector<std::string>& asEnv)
{
    std::vector<std::string> asAll;
    char* pBlock = GetEnvironmentStringsA();
    for (const char* p = pBlock; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) asAll.push_back(p);
    if (pBlock != nullptr) FreeEnvironmentStringsA(pBlock);
    for (const std::string& sEntry : asEnv) {
        std::string sName = sEntry.substr(0, sEntry.find('=') + 1);
        bool bReplaced = false;
        for (std::string& s : asAll) {
            if (s.size() >= sName.size() && _strnicmp(s.c_str(), sName.c_str(), sName.size()) == 0) {
                s = sEntry;
                bReplaced = true;
            }
        }
        if (!bReplaced) asAll.push_back(sEntry);
    }
    std::string sBlock;
    for (const std::string& s : asAll) {
        sBlock += s;
        sBlock.push_back('\0');
    }
    sBlock.push_back('\0');
    return sBlock;
}

StartedProcess StartProgram(const char* pExe, const std::string& sArgs, const std::vector<std::string>& asEnv,
                            const std::string& sOutFile)
{
    StartedProcess started = {nullptr, 0};
    std::string sExe = ExeDir() + pExe;
    std::string sCommand = "\"" + sExe + "\" " + sArgs;
    std::vector<char> acCommand(sCommand.begin(), sCommand.end());
    acCommand.push_back('\0');

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE hOut = CreateFileA(sOutFile.empty() ? "NUL" : sOutFile.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE hIn = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hIn;
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    std::string sEnv = EnvironmentBlock(asEnv);
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(sExe.c_str(), acCommand.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       const_cast<char*>(sEnv.c_str()), nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        started.hProcess = pi.hProcess;
        started.dwPid = pi.dwProcessId;
    }
    if (hOut != INVALID_HANDLE_VALUE) CloseHandle(hOut);
    if (hIn != INVALID_HANDLE_VALUE) CloseHandle(hIn);
    return started;
}

void PumpFor(DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD dwPassed = GetTickCount() - dwStart;
        if (dwPassed >= dwMs) return;
        DWORD dwLeft = dwMs - dwPassed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwLeft < 10 ? dwLeft : 10, QS_ALLINPUT);
    }
}

namespace {

struct WindowWanted {
    const char* pClass;
    const char* pTitle;
    DWORD dwPid;
    HWND hFound;
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lArg)
{
    WindowWanted* pWant = reinterpret_cast<WindowWanted*>(lArg);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if (pWant->dwPid != 0 && dwPid != pWant->dwPid) return TRUE;
    char ac[256];
    if (pWant->pClass != nullptr) {
        GetClassNameA(hWnd, ac, sizeof ac);
        if (std::strcmp(ac, pWant->pClass) != 0) return TRUE;
    }
    if (pWant->pTitle != nullptr) {
        GetWindowTextA(hWnd, ac, sizeof ac);
        if (std::strcmp(ac, pWant->pTitle) != 0) return TRUE;
    }
    pWant->hFound = hWnd;
    return FALSE;
}

}  // namespace

HWND WaitForWindow(const char* pClass, const char* pTitle, DWORD dwPid, DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        WindowWanted want = {pClass, pTitle, dwPid, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&want));
        if (want.hFound != nullptr) return want.hFound;
        if (GetTickCount() - dwStart >= dwMs) return nullptr;
        PumpFor(20);
    }
}

bool WaitForExit(HANDLE hProcess, DWORD dwMs, DWORD* pdwExit)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0) {
            if (pdwExit != nullptr) GetExitCodeProcess(hProcess, pdwExit);
            return true;
        }
        if (GetTickCount() - dwStart >= dwMs) return false;
        PumpFor(20);
    }
}

void EndProcess(StartedProcess* pProcess)
{
    if (pProcess->hProcess == nullptr) return;
    if (WaitForSingleObject(pProcess->hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(pProcess->hProcess, 9);
        WaitForExit(pProcess->hProcess, 10000);
    }
    CloseHandle(pProcess->hProcess);
    pProcess->hProcess = nullptr;
    pProcess->dwPid = 0;
}

std::vector<std::string> ReadLines(const std::string& sPath)
{
    std::vector<std::string> asLines;
    HANDLE h = CreateFileA(sPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return asLines;
    std::string sText;
    char ac[8192];
    DWORD dwRead = 0;
    while (ReadFile(h, ac, sizeof ac, &dwRead, nullptr) && dwRead > 0) sText.append(ac, dwRead);
    CloseHandle(h);
    size_t iStart = 0;
    while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        if (iEnd == std::string::npos) break;   // a line still being written
        std::string sLine = sText.substr(iStart, iEnd - iStart);
        if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
        asLines.push_back(sLine);
        iStart = iEnd + 1;
    }
    return asLines;
}

static bool HasAll(const std::string& sLine, const std::vector<std::string>& asParts)
{
    for (const std::string& s : asParts) {
        if (sLine.find(s) == std::string::npos) return false;
    }
    return true;
}

int WaitForLine(const std::string& sPath, const std::vector<std::string>& asParts, DWORD dwMs, int iFrom,
                std::string* psLine)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        std::vector<std::string> asLines = ReadLines(sPath);
        for (size_t i = iFrom < 0 ? 0 : static_cast<size_t>(iFrom); i < asLines.size(); ++i) {
            if (HasAll(asLines[i], asParts)) {
                if (psLine != nullptr) *psLine = asLines[i];
                return static_cast<int>(i);
            }
        }
        if (GetTickCount() - dwStart >= dwMs) return -1;
        PumpFor(20);
    }
}

std::vector<std::string> ListEntries(HWND hList)
{
    std::vector<std::string> asEntry;
    DWORD_PTR dwCount = 0;
    if (!SendMessageTimeoutA(hList, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 20000, &dwCount)) return asEntry;
    for (DWORD_PTR i = 0; i < dwCount && i < 1000; ++i) {
        wchar_t awText[600] = L"";
        DWORD_PTR dwIgnored = 0;
        SendMessageTimeoutW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(awText), SMTO_NORMAL, 20000, &dwIgnored);
        char acText[600] = "";
        WideCharToMultiByte(CP_ACP, 0, awText, -1, acText, sizeof acText, nullptr, nullptr);
        asEntry.push_back(acText);
    }
    return asEntry;
}

int CountLines(const std::string& sPath, const std::vector<std::string>& asParts)
{
    int n = 0;
    for (const std::string& s : ReadLines(sPath)) n += HasAll(s, asParts);
    return n;
}

HWND WaitForErrorBox(DWORD dwPid, DWORD dwMs)
{
    return WaitForWindow("#32770", "! Error !", dwPid, dwMs);
}

std::string ErrorBoxText(HWND hBox)
{
    // The box has its title as soon as it exists, its text only once it has
    // initialised: wait a while for the text (a slow machine, or 32-bit Wine
    // under emulation, shows the gap).
    char ac[1024] = {};
    for (int i = 0; i < 60 && ac[0] == '\0' && IsWindow(hBox); ++i) {
        if (i > 0) PumpFor(50);
        HWND hText = GetDlgItem(hBox, 0xFFFF);
        if (hText != nullptr) GetWindowTextA(hText, ac, sizeof ac);
    }
    return ac;
}

void PressErrorBoxOk(HWND hBox)
{
    PostMessageA(hBox, WM_COMMAND, IDOK, 0);
}

namespace {

struct DebugText {
    DWORD dwPid;
    std::string sText;
};

std::mutex mutexDebug;
std::vector<DebugText> asDebug;
std::thread threadDebug;
volatile LONG lDebugStop = 0;
HANDLE hDebugBufferReady = nullptr;
HANDLE hDebugDataReady = nullptr;
HANDLE hDebugMapping = nullptr;
const char* pDebugView = nullptr;

// The layout of the buffer: the writer's process id, then its text.
void CollectDebug()
{
    SetEvent(hDebugBufferReady);
    while (InterlockedCompareExchange(&lDebugStop, 0, 0) == 0) {
        if (WaitForSingleObject(hDebugDataReady, 50) != WAIT_OBJECT_0) continue;
        DebugText t;
        std::memcpy(&t.dwPid, pDebugView, sizeof t.dwPid);
        const char* pText = pDebugView + sizeof(DWORD);
        t.sText.assign(pText, strnlen(pText, 4096 - sizeof(DWORD)));
        while (!t.sText.empty() && (t.sText.back() == '\n' || t.sText.back() == '\r')) t.sText.pop_back();
        {
            std::lock_guard<std::mutex> lock(mutexDebug);
            asDebug.push_back(t);
        }
        SetEvent(hDebugBufferReady);
    }
}

}  // namespace

bool StartDebugCapture()
{
    if (pDebugView != nullptr) return true;
    hDebugBufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    bool bOthers = GetLastError() == ERROR_ALREADY_EXISTS;
    hDebugDataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    hDebugMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
    if (hDebugMapping != nullptr) pDebugView = static_cast<const char*>(MapViewOfFile(hDebugMapping, FILE_MAP_READ, 0, 0, 4096));
    if (bOthers || hDebugBufferReady == nullptr || hDebugDataReady == nullptr || pDebugView == nullptr) {
        pDebugView = nullptr;
        StopDebugCapture();
        return false;
    }
    lDebugStop = 0;
    threadDebug = std::thread(CollectDebug);
    return true;
}

void StopDebugCapture()
{
    if (threadDebug.joinable()) {
        InterlockedExchange(&lDebugStop, 1);
        threadDebug.join();
    }
    if (pDebugView != nullptr) UnmapViewOfFile(pDebugView);
    pDebugView = nullptr;
    for (HANDLE* p : {&hDebugMapping, &hDebugDataReady, &hDebugBufferReady}) {
        if (*p != nullptr) CloseHandle(*p);
        *p = nullptr;
    }
}

void ClearDebugLines()
{
    std::lock_guard<std::mutex> lock(mutexDebug);
    asDebug.clear();
}

std::vector<std::string> DebugLines(DWORD dwPid)
{
    std::vector<std::string> asLines;
    std::lock_guard<std::mutex> lock(mutexDebug);
    for (const DebugText& t : asDebug) {
        if (dwPid == 0 || t.dwPid == dwPid) asLines.push_back(t.sText);
    }
    return asLines;
}

int WaitForDebugLine(DWORD dwPid, const std::vector<std::string>& asParts, DWORD dwMs, int iFrom,
                     std::string* psLine)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        std::vector<std::string> asLines = DebugLines(dwPid);
        for (size_t i = iFrom < 0 ? 0 : static_cast<size_t>(iFrom); i < asLines.size(); ++i) {
            if (HasAll(asLines[i], asParts)) {
                if (psLine != nullptr) *psLine = asLines[i];
                return static_cast<int>(i);
            }
        }
        if (GetTickCount() - dwStart >= dwMs) return -1;
        PumpFor(20);
    }
}
