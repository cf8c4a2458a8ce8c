// A driver site for the fault campaigns (see site.h).
#include "tests/faults/site.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ipc/transport.h"

namespace {

LRESULT CALLBACK PeerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

HWND PeerWindow()
{
    static HWND hPeer = nullptr;
    if (hPeer != nullptr) return hPeer;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PeerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZurFaultsPeer";
    RegisterClassA(&wc);
    hPeer = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    return hPeer;
}

void ListInto(const std::string& sDir, const std::string& sRel, std::vector<std::string>* pas)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((sDir + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        std::string sName = fd.cFileName;
        if (sName == "." || sName == "..") continue;
        std::string sPath = sRel.empty() ? sName : sRel + "\\" + sName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            pas->push_back(sPath + "\\");
            ListInto(sDir + "\\" + sName, sPath, pas);
        } else {
            pas->push_back(sPath + " " + std::to_string(fd.nFileSizeLow));
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

unsigned long ulRandom = 1;

}  // namespace

bool CreateSite(Site* pSite)
{
    if (!CreateSite(static_cast<DriverSite*>(pSite))) return false;
    pSite->hPeer = PeerWindow();
    return pSite->hPeer != nullptr;
}

std::string SiteFile(const Site* pSite, const char* pExt)
{
    return pSite->sConfig + "\\DEV_201." + pExt;
}

bool StartRvx(Site* pSite, const std::string& sMore)
{
    pSite->sRvxLog = TempFile("faultrvx", "log");
    pSite->asTemp.push_back(pSite->sRvxLog);
    pSite->rvx = StartProgram("rvxsim.exe", "--quiet --log \"" + pSite->sRvxLog + "\" " + sMore);
    return pSite->rvx.hProcess != nullptr && WaitForWindow("RvxSim", nullptr, pSite->rvx.dwPid, 20000) != nullptr;
}

bool StartInfoDriver(Site* pSite, int i, const std::string& sSlots, const std::string& sMore)
{
    std::string sDevice = std::to_string(301 + i);
    std::string sArgs = sDevice + " --quiet " + sMore;
    if (!sSlots.empty()) {
        std::string sFile = TempFile("faultslots", "txt");
        pSite->asTemp.push_back(sFile);
        if (!WriteTextFile(sFile, sSlots)) return false;
        sArgs += " --slots \"" + sFile + "\"";
    }
    pSite->info[i] = StartProgram("infosim.exe", sArgs);
    return pSite->info[i].hProcess != nullptr &&
           WaitForWindow("InfoSim", ("InfoDriver " + sDevice).c_str(), pSite->info[i].dwPid, 20000) != nullptr;
}

std::string InfoDriverLog(Site* pSite, int i)
{
    pSite->asInfoLog[i] = TempFile("faultinfo", "log");
    pSite->asTemp.push_back(pSite->asInfoLog[i]);
    return "--log \"" + pSite->asInfoLog[i] + "\"";
}

bool StartDriver(Site* pSite, const std::string& sArgs)
{
    pSite->hDriver = nullptr;
    pSite->driver =
        StartProgram("zur.exe", sArgs, {"CC_ROOT=" + pSite->sRoot, "CC_SYSTEM=sys"});
    return pSite->driver.hProcess != nullptr;
}

bool WaitDriverServing(Site* pSite, DWORD dwMs)
{
    pSite->hDriver = WaitForWindow("Q7CMBINE", kDriverTitle201, pSite->driver.dwPid, dwMs);
    if (pSite->hDriver == nullptr) return false;
    return PollRoute(pSite, 1, 0, dwMs) >= 0;   // workstation 0 always may
}

int SendToDriver(Site* pSite, int iMessage, const std::string& sText)
{
    return SendCopyText(pSite->hPeer, pSite->hDriver, iMessage, 0, sText.c_str());
}

int PollRoute(Site* pSite, int iDest, int iWorkstation, DWORD dwMs)
{
    int iFrom = static_cast<int>(ReadLines(pSite->sRvxLog).size());
    char acCommand[64];
    std::snprintf(acCommand, sizeof acCommand, "RP 201 %d %d %d", iDest, iDest, iWorkstation);
    SendToDriver(pSite, MSG_DRIVER_COMMAND, acCommand);
    char acValue[32];
    std::snprintf(acValue, sizeof acValue, "value=%d ", iWorkstation);
    char acText[32];
    std::snprintf(acText, sizeof acText, "text=\"RR 201 %03d ", iDest);
    std::string sLine;
    if (WaitForLine(pSite->sRvxLog, {"RVX <- 2187", acValue, acText}, dwMs, iFrom, &sLine) < 0) return -1;
    size_t i = sLine.find(acText);
    return std::atoi(sLine.c_str() + i + std::string(acText).size());
}

bool BoxesUntilExit(Site* pSite, std::vector<std::string>* pasBox, DWORD* pdwExit)
{
    for (int i = 0; i < 12; ++i) {
        HWND hBox = WaitForErrorBox(pSite->driver.dwPid, 1500);
        if (hBox != nullptr) {
            if (pasBox != nullptr) pasBox->push_back(ErrorBoxText(hBox));
            PressErrorBoxOk(hBox);
            PumpFor(200);
        }
        if (WaitForExit(pSite->driver.hProcess, hBox != nullptr ? 500 : 3000, pdwExit)) return true;
    }
    return false;
}

bool CloseDriver(Site* pSite, DWORD* pdwExit)
{
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(pSite->hDriver, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 30000, &dwResult);
    DWORD dwExit = 99;
    bool bEnded = WaitForExit(pSite->driver.hProcess, 30000, &dwExit);
    if (pdwExit != nullptr) *pdwExit = dwExit;
    if (bEnded) EndProcess(&pSite->driver);
    return bEnded && dwExit == 0;
}

bool ReadWholeFile(const std::string& sPath, std::string* psData)
{
    psData->clear();
    HANDLE h = CreateFileA(sPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char ac[8192];
    DWORD dwRead = 0;
    while (ReadFile(h, ac, sizeof ac, &dwRead, nullptr) && dwRead > 0) psData->append(ac, dwRead);
    CloseHandle(h);
    return true;
}

std::vector<std::string> ListTree(const std::string& sDir)
{
    std::vector<std::string> as;
    ListInto(sDir, "", &as);
    std::sort(as.begin(), as.end());
    return as;
}

void SeedRandom(unsigned long ulSeed)
{
    ulRandom = ulSeed != 0 ? ulSeed : 1;
}

unsigned long RandomNumber()
{
    // xorshift32: small, fast and the same on every build.
    unsigned long x = ulRandom & 0xFFFFFFFFul;
    x ^= (x << 13) & 0xFFFFFFFFul;
    x ^= x >> 17;
    x ^= (x << 5) & 0xFFFFFFFFul;
    ulRandom = x;
    return x;
}

int RandomBelow(int n)
{
    return n <= 0 ? 0 : static_cast<int>(RandomNumber() % static_cast<unsigned long>(n));
}
