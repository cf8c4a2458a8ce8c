// Hostile device profiles: every key of the profile in turn missing, empty,
// huge (a number of 30 digits, a text of 3000 characters), negative, below
// the int range, non-numeric or binary; then the configuration directory
// missing, and read-only. In every case the driver must either start and
// serve or refuse with its boxes (read here and pressed), end with code 0
// when asked or refused, and write nothing outside its own files (profile,
// index, locks and the take journal).
// nCount limits the number of key cases (0: all of them).
#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

struct Key {
    const char* pSection;
    const char* pName;
    const char* pGood;
};

const Key aKey[] = {
    {"Database", "DatabaseSize_0", "16"},  {"Database", "DatabaseSize_1", "16"},
    {"Combiner", "Name", "Bench"},         {"Combiner", "SaveDelay", "1"},
    {"Combiner", "SrcePkgInfoId", "301"},  {"Combiner", "DestPkgInfoId", "302"},
    {"Combiner", "LevelMapInfoId", "303"}, {"Combiner", "DebugMode", "0"},
    {"Combiner", "NameLength", "8"},       {"Combiner", "RevertiveLevel", "0"},
    {"Combiner", "Simulation", "0"},       {"Combiner", "ExternalDLL", "NONE"},
    {"Combiner", "JournalSize", "1024"},
    {"Levels", "Level_01", "F,R,101"},     {"Levels", "Level_32", "R,G,132"},
    {"Masks", "Mask_01", "ALL,1,2,3"},     {"Security", "Access", "ALL"},
};

const char* const apValueName[] = {"missing", "empty", "huge number", "huge text", "negative", "int minimum",
                                   "non-numeric", "binary"};
const int kValues = 8;

std::string HostileValue(int iValue)
{
    switch (iValue) {
    case 1: return "";
    case 2: return "999999999999999999999999999999";
    case 3: return std::string(3000, '7') + ",x";
    case 4: return "-7";
    case 5: return "-2147483649";
    case 6: return "abc,def,,-,'";
    default: {
        std::string s;
        for (int i = 0; i < 200; ++i) {
            char c = static_cast<char>(1 + RandomBelow(255));
            if (c == '\n' || c == '\r') c = '\x7f';
            s += c;
        }
        return s;
    }
    }
}

// The profile with every key good except (iKey, iValue); iKey -1: all good.
std::string Profile(int iKey, int iValue)
{
    std::string s;
    const char* pSection = "";
    for (int i = 0; i < static_cast<int>(sizeof aKey / sizeof aKey[0]); ++i) {
        if (std::string(aKey[i].pSection) != pSection) {
            pSection = aKey[i].pSection;
            s += std::string("[") + pSection + "]\n";
        }
        if (i == iKey && iValue == 0) continue;
        s += std::string(aKey[i].pName) + "=" + (i == iKey ? HostileValue(iValue) : aKey[i].pGood) + "\n";
    }
    return s;
}

// Names (and sizes) of everything the driver may not touch: the site but its
// own files, the root of drive C and the Windows directory.
std::vector<std::string> Untouchable(const Site* pSite)
{
    std::vector<std::string> as;
    for (const std::string& s : ListTree(pSite->sRoot)) {
        if (s.find("config\\system\\DEV_201.") != std::string::npos &&
            (s.find("DEV_201.INI") != std::string::npos || s.find("DEV_201.DAT") != std::string::npos ||
             s.find("DEV_201.LCK") != std::string::npos || s.find("DEV_201.LOG") != std::string::npos)) {
            continue;   // its own files, which it may create and rewrite
        } else {
            as.push_back(s);
        }
    }
    char acWindows[MAX_PATH];
    GetWindowsDirectoryA(acWindows, sizeof acWindows);
    for (const std::string& sDir : {std::string("C:"), std::string(acWindows)}) {
        WIN32_FIND_DATAA fd;
        HANDLE hFind = FindFirstFileA((sDir + "\\*").c_str(), &fd);
        if (hFind == INVALID_HANDLE_VALUE) continue;
        do {
            as.push_back(sDir + "\\" + fd.cFileName);
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    return as;
}

// Runs the driver until it has started and closed again, or refused with its
// boxes. Returns false when it crashed or hung; *pbServed and *pasBox tell
// what it did.
bool RunOnce(Site* pSite, bool* pbServed, std::vector<std::string>* pasBox, DWORD* pdwExit)
{
    *pbServed = false;
    pasBox->clear();
    *pdwExit = 99;
    if (!StartDriver(pSite)) return false;
    DWORD dwEnd = GetTickCount() + 60000;
    bool bAsked = false;
    while (GetTickCount() < dwEnd) {
        if (WaitForExit(pSite->driver.hProcess, 0, pdwExit)) {
            EndProcess(&pSite->driver);
            return *pdwExit == 0;
        }
        HWND hBox = WaitForErrorBox(pSite->driver.dwPid, 100);
        if (hBox != nullptr) {
            pasBox->push_back(ErrorBoxText(hBox));
            PressErrorBoxOk(hBox);
            PumpFor(100);
            continue;
        }
        if (!bAsked) {
            pSite->hDriver = WaitForWindow("Q7CMBINE", kDriverTitle201, pSite->driver.dwPid, 100);
            if (pSite->hDriver == nullptr) continue;
            // "RP" for destination 1: answered once start-up is over, when
            // the profile leaves destination 1 valid. Asked in short rounds,
            // so that a refusal (its box, or the driver ending) ends the wait.
            DWORD dwAskEnd = GetTickCount() + 20000;
            while (!*pbServed && GetTickCount() < dwAskEnd) {
                if (PollRoute(pSite, 1, 0, 500) >= 0) {
                    *pbServed = true;
                } else if (WaitForErrorBox(pSite->driver.dwPid, 0) != nullptr ||
                           WaitForSingleObject(pSite->driver.hProcess, 0) == WAIT_OBJECT_0) {
                    break;
                }
            }
            if (WaitForErrorBox(pSite->driver.dwPid, 0) != nullptr) continue;
            PostMessageA(pSite->hDriver, MSG_CLOSE_REQUEST, 0, 0);
            bAsked = true;
        }
    }
    EndProcess(&pSite->driver);
    return false;
}

void RunCase(Site* pSite, const std::string& sCase, Figures* pFig, std::vector<std::string>* pasReport)
{
    std::vector<std::string> asBefore = Untouchable(pSite);
    bool bServed = false;
    std::vector<std::string> asBox;
    DWORD dwExit = 99;
    ++pFig->nCases;
    ++pFig->nInputs;
    pFig->nChecks += 2;
    if (!RunOnce(pSite, &bServed, &asBox, &dwExit)) {
        Fail(pFig, &pFig->nCrashes, "profiles: " + sCase + ": crashed or hung, exit " + std::to_string(dwExit));
    }
    std::vector<std::string> asAfter = Untouchable(pSite);
    if (asAfter != asBefore) {
        std::string sNew;
        for (const std::string& s : asAfter) {
            bool bOld = false;
            for (const std::string& t : asBefore) bOld = bOld || s == t;
            if (!bOld) sNew += " " + s;
        }
        Fail(pFig, &pFig->nOther, "profiles: " + sCase + ": wrote outside its files:" + sNew);
    }
    // A box means it refused (a command may still be answered while the box is up).
    std::string sLine = sCase + ": " +
                        (!asBox.empty() ? "refused" : (bServed ? "served" : "ran, no answer for destination 1"));
    for (const std::string& s : asBox) sLine += " [" + s.substr(0, 80) + "]";
    pasReport->push_back(sLine);
}

}  // namespace

int CampaignProfiles(int nCount, Figures* pFig)
{
    std::string sLevelMap;
    for (int i = 1; i <= 4096; ++i) sLevelMap += std::to_string(i) + " 1,2,3\n";
    Site site;
    bool bUp = CreateSite(&site) && StartRvx(&site) && StartInfoDriver(&site, 0) && StartInfoDriver(&site, 1) &&
               StartInfoDriver(&site, 2, sLevelMap);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "profiles: the peers did not come up");
        RemoveSite(&site);
        return 1;
    }
    std::vector<std::string> asReport;
    int nKeys = static_cast<int>(sizeof aKey / sizeof aKey[0]);
    int nCases = nKeys * kValues;
    int iStep = nCount > 0 && nCount < nCases ? nCases / nCount : 1;
    for (int iCase = 0; iCase < nCases; iCase += iStep) {
        int iKey = iCase / kValues;
        int iValue = iCase % kValues;
        DeleteFileA(SiteFile(&site, "DAT").c_str());
        DeleteFileA(SiteFile(&site, "LCK").c_str());
        WriteTextFile(SiteFile(&site, "INI"), Profile(iKey, iValue));
        RunCase(&site, std::string(aKey[iKey].pName) + " " + apValueName[iValue], pFig, &asReport);
    }
    // The configuration directory missing.
    RemoveTree(site.sConfig);
    RunCase(&site, "configuration directory missing", pFig, &asReport);
    // Read-only: the directory and the three files in it.
    CreateDirectoryA(site.sConfig.c_str(), nullptr);
    WriteTextFile(SiteFile(&site, "INI"), Profile(-1, 0));
    for (const char* pExt : {"DAT", "LCK"}) WriteTextFile(SiteFile(&site, pExt), "");
    for (const char* pExt : {"INI", "DAT", "LCK"}) SetFileAttributesA(SiteFile(&site, pExt).c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(site.sConfig.c_str(), FILE_ATTRIBUTE_READONLY);
    RunCase(&site, "configuration directory read-only", pFig, &asReport);
    for (const std::string& s : asReport) std::printf("  %s\n", s.c_str());
    RemoveSite(&site);
    return 0;
}
