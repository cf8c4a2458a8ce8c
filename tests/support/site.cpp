#include "tests/support/site.h"

#include <cstdio>
#include <cstdlib>

#include "ipc/transport.h"

const char kDriverTitle201[] = "R7 Idoruzor v3.05.03 - Device 201";

bool FileExists(const std::string& sPath)
{
    return GetFileAttributesA(sPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBinaryFile(const std::string& sPath)
{
    std::string s;
    FILE* pFile = std::fopen(sPath.c_str(), "rb");
    if (pFile == nullptr) return s;
    char ac[4096];
    size_t n;
    while ((n = std::fread(ac, 1, sizeof ac, pFile)) > 0) s.append(ac, n);
    std::fclose(pFile);
    return s;
}

bool CreateSite(DriverSite* pSite)
{
    pSite->sRoot = TempFile("site", "dir");
    pSite->sConfig = pSite->sRoot + "\\sys\\config\\system";
    pSite->sLib = pSite->sRoot + "\\sys\\windows\\lib";
    const std::string& r = pSite->sRoot;
    for (const std::string& s :
         {r, r + "\\sys", r + "\\sys\\config", pSite->sConfig, r + "\\sys\\windows", pSite->sLib}) {
        CreateDirectoryA(s.c_str(), nullptr);
    }
    bool bOk = true;
    for (const char* pLib : {"BWCC32.DLL", "KELM_CC.DLL"}) {
        bOk = CopyFileA((ExeDir() + pLib).c_str(), (pSite->sLib + "\\" + pLib).c_str(), FALSE) && bOk;
    }
    return bOk;
}

void RemoveSite(DriverSite* pSite)
{
    EndProcess(&pSite->driver);
    EndProcess(&pSite->rvx);
    for (StartedProcess& p : pSite->info) EndProcess(&p);
    for (const std::string& s : pSite->asTemp) DeleteFileA(s.c_str());
    pSite->asTemp.clear();
    if (!pSite->sRoot.empty()) RemoveTree(pSite->sRoot);
}

bool WriteSiteProfile(DriverSite* pSite, const std::string& sDatabase, int iDebugMode, const std::string& sCombiner,
                      const std::string& sMore, long lSaveDelay)
{
    return WriteTextFile(SiteFile(pSite, "DEV_201.INI"),
                         "[Database]\n" + sDatabase +
                             "[Combiner]\nSrcePkgInfoId=301\nDestPkgInfoId=302\nLevelMapInfoId=303\n"
                             "DebugMode=" + std::to_string(iDebugMode) + "\nSaveDelay=" + std::to_string(lSaveDelay) +
                             "\n" + sCombiner + sMore);
}

std::string SiteFile(const DriverSite* pSite, const char* pName)
{
    return pSite->sConfig + "\\" + pName;
}

bool StartSiteRvx(DriverSite* pSite, const std::string& sMore)
{
    pSite->sRvxLog = TempFile("rvx", "log");
    pSite->asTemp.push_back(pSite->sRvxLog);
    pSite->rvx = StartProgram("rvxsim.exe", "--quiet --log \"" + pSite->sRvxLog + "\" " + sMore);
    return WaitForWindow("RvxSim", nullptr, pSite->rvx.dwPid, 20000) != nullptr;
}

bool StartSiteInfoDriver(DriverSite* pSite, int i, const std::string& sSlots, const std::string& sMore)
{
    pSite->asInfoLog[i] = TempFile("info", "log");
    pSite->asTemp.push_back(pSite->asInfoLog[i]);
    std::string sDevice = std::to_string(301 + i);
    std::string sArgs = sDevice + " --quiet --log \"" + pSite->asInfoLog[i] + "\" " + sMore;
    if (!sSlots.empty()) {
        std::string sFile = TempFile("slots", "txt");
        pSite->asTemp.push_back(sFile);
        if (!WriteTextFile(sFile, sSlots)) return false;
        sArgs += " --slots \"" + sFile + "\"";
    }
    pSite->info[i] = StartProgram("infosim.exe", sArgs);
    return WaitForWindow("InfoSim", ("InfoDriver " + sDevice).c_str(), pSite->info[i].dwPid, 20000) != nullptr;
}

bool StartSiteDriver(DriverSite* pSite, const std::string& sArgs, const std::vector<std::string>& asEnv)
{
    std::vector<std::string> asAll = {"CC_ROOT=" + pSite->sRoot, "CC_SYSTEM=sys"};
    asAll.insert(asAll.end(), asEnv.begin(), asEnv.end());
    pSite->driver = StartProgram("zur.exe", sArgs, asAll);
    return pSite->driver.hProcess != nullptr;
}

HWND SiteDriverWindow(DriverSite* pSite)
{
    return WaitForWindow("Q7CMBINE", kDriverTitle201, pSite->driver.dwPid, 20000);
}

bool SiteRegistered(DriverSite* pSite, int iFrom)
{
    return WaitForLine(pSite->sRvxLog, {"RVX <- 2184 register", "lparam=32969", "result=0"}, 30000, iFrom) >= 0;
}

bool SiteStartedUp(DriverSite* pSite)
{
    return WaitForLine(pSite->asInfoLog[2], {"INFO303 <- 2733", "wparam=3"}, 60000) >= 0;
}

std::vector<std::string> BoxesUntilExit(DriverSite* pSite, DWORD* pdwExit, std::string* psFailure)
{
    std::vector<std::string> asText;
    for (int i = 0; i < 10; ++i) {
        HWND hBox = WaitForErrorBox(pSite->driver.dwPid, 1500);
        if (hBox != nullptr) {
            asText.push_back(ErrorBoxText(hBox));
            PressErrorBoxOk(hBox);
            PumpFor(200);
        }
        if (WaitForExit(pSite->driver.hProcess, hBox != nullptr ? 500 : 3000, pdwExit)) return asText;
    }
    if (psFailure != nullptr) *psFailure = "the driver did not end";
    return asText;
}

bool CloseSiteDriver(DriverSite* pSite, DWORD* pdwExit)
{
    HWND hDriver = WaitForWindow("Q7CMBINE", nullptr, pSite->driver.dwPid, 2000);
    DWORD_PTR dwResult = 0;
    if (hDriver != nullptr) {
        SendMessageTimeoutA(hDriver, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 20000, &dwResult);
    }
    return WaitForExit(pSite->driver.hProcess, 20000, pdwExit);
}

static LRESULT CALLBACK TextPeerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

HWND CreateTextPeerWindow()
{
    static ATOM aClass = 0;
    HINSTANCE hInstance = GetModuleHandleA(nullptr);
    if (aClass == 0) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TextPeerProc;
        wc.hInstance = hInstance;
        wc.lpszClassName = "ZurTestTextPeer";
        aClass = RegisterClassA(&wc);
    }
    return CreateWindowA("ZurTestTextPeer", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, hInstance, nullptr);
}

int LineCount(const std::string& sLog)
{
    return static_cast<int>(ReadLines(sLog).size());
}

std::vector<std::string> ReceivedTexts(const std::string& sLog, int iFrom, const std::vector<int>& aiMessage)
{
    std::vector<std::string> asOut;
    std::vector<std::string> asLine = ReadLines(sLog);
    for (size_t i = iFrom < 0 ? 0 : static_cast<size_t>(iFrom); i < asLine.size(); ++i) {
        const std::string& s = asLine[i];
        size_t iDir = s.find(" <- ");
        if (iDir == std::string::npos) continue;
        int iMessage = std::atoi(s.c_str() + iDir + 4);
        bool bWanted = false;
        for (int iWanted : aiMessage) bWanted = bWanted || iWanted == iMessage;
        size_t iValue = s.find(" value=");
        size_t iText = s.find(" text=\"");
        if (!bWanted || iValue == std::string::npos || iText == std::string::npos) continue;
        std::string sText;
        for (size_t k = iText + 7; k < s.size() && s[k] != '"'; ++k) {
            if (s[k] == '\\' && k + 1 < s.size()) {
                ++k;
                if (s[k] == 'x' && k + 2 < s.size()) {
                    sText.push_back(static_cast<char>(std::strtol(s.substr(k + 1, 2).c_str(), nullptr, 16)));
                    k += 2;
                    continue;
                }
            }
            sText.push_back(s[k]);
        }
        asOut.push_back(std::to_string(iMessage) + " " + std::to_string(std::atoi(s.c_str() + iValue + 7)) + " " +
                        sText);
    }
    return asOut;
}
