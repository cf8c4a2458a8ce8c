// A long run of one driver with its panel: nCount commands of every kind
// (takes 60 %, "RP" 22 %, "RQ" 12 %, "RL" locks 4 %, "RF" sweeps 1 %, name
// changes 2174 1 %, and, after every batch of 500, a Take and a lock toggle
// on the panel as an operator would make them). Checked:
// - every revertive, series revertive, level command and name request that
//   the commands ask for reaches RVX, no more and no fewer;
// - at the end, the routes of all 64 destinations and the lock file hold the
//   model's state, and after the close the index file too;
// - the driver's private bytes and its GDI and USER object counts at the end
//   are within 5 % of their values after the first 10,000 commands.
// A progress line is printed after every 10,000 commands.
//
// How the driver's resources are measured (the same way on Windows and under
// Wine, unless said):
// - private bytes: the driver's committed private memory, the sum of its
//   regions that VirtualQueryEx reports MEM_COMMIT and MEM_PRIVATE (heap,
//   stacks, VirtualAlloc): what Windows reports as PrivateUsage
//   (GetProcessMemoryInfo), which Wine leaves at 0. Beside it, the resident
//   memory of the working set is shown (under Wine, PagefileUsage: the
//   anonymous memory of the driver's Linux process, RssAnon + VmSwap),
//   which also grows as pages reserved at start are first touched;
// - GDI and USER objects: GetGuiResources; Wine does not implement it
//   (0, ERROR_CALL_NOT_IMPLEMENTED). Then GDI objects are the live entries
//   of the driver's GDI handle table, which Wine keeps in each process and
//   names in its PEB (GdiSharedHandleTable), read with ReadProcessMemory;
//   USER objects are the driver's windows, top-level and child.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/messages.h"
#include "res/resource.h"
#include "tests/faults/burst.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const int kBatch = 500;
const int kBaseline = 10000;
const int kLevels = 1;   // the packages carry a value on level 1 only
const int kSyncFirst = 901;   // workstations of the batches' synchronising "RP"
const int kSyncCount = 99;

struct Resources {
    unsigned long long ullPrivate = 0;    // committed private memory
    unsigned long long ullResident = 0;   // see above
    long nGdi = -1;
    long nUser = -1;
};

unsigned long long CommittedPrivate(HANDLE hProcess)
{
    unsigned long long ull = 0;
    MEMORY_BASIC_INFORMATION mbi;
    const char* p = nullptr;
    while (VirtualQueryEx(hProcess, p, &mbi, sizeof mbi) == sizeof mbi && mbi.RegionSize > 0) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) ull += mbi.RegionSize;
        const char* pNext = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (pNext <= p) break;
        p = pNext;
    }
    return ull;
}

// Wine's per-process GDI handle table: 65536 entries of this layout.
struct GdiEntry {
    unsigned long long ullObject;
    unsigned long ulOwner;
    unsigned short usUnique;
    unsigned char ucType;   // 0: free
    unsigned char ucFlags;
    unsigned long long ullUser;
};
static_assert(sizeof(GdiEntry) == 24, "the table's entry layout");
const size_t kGdiEntries = 0x10000;
#ifdef _WIN64
const size_t kPebGdiTable = 0xF8;
#else
const size_t kPebGdiTable = 0x94;
#endif

long CountGdiTable(HANDLE hProcess)
{
    PROCESS_BASIC_INFORMATION pbi = {};
    ULONG nLength = 0;
    if (NtQueryInformationProcess(hProcess, ProcessBasicInformation, &pbi, sizeof pbi, &nLength) != 0) return -1;
    ULONG_PTR ulTable = 0;
    SIZE_T nRead = 0;
    if (!ReadProcessMemory(hProcess, reinterpret_cast<const char*>(pbi.PebBaseAddress) + kPebGdiTable, &ulTable,
                           sizeof ulTable, &nRead) ||
        ulTable == 0) {
        return -1;
    }
    std::vector<GdiEntry> aEntry(kGdiEntries);
    if (!ReadProcessMemory(hProcess, reinterpret_cast<const void*>(ulTable), aEntry.data(),
                           aEntry.size() * sizeof(GdiEntry), &nRead)) {
        return -1;
    }
    long n = 0;
    for (const GdiEntry& e : aEntry) n += e.ucType != 0;
    return n;
}

struct WindowCount {
    DWORD dwPid;
    long n;
};

BOOL CALLBACK CountChild(HWND, LPARAM lArg)
{
    ++reinterpret_cast<WindowCount*>(lArg)->n;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hWnd, LPARAM lArg)
{
    WindowCount* pCount = reinterpret_cast<WindowCount*>(lArg);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid != pCount->dwPid) return TRUE;
    ++pCount->n;
    EnumChildWindows(hWnd, CountChild, lArg);   // every descendant
    return TRUE;
}

// The resources, and in *psHow which measure gave each.
Resources Measure(HANDLE hProcess, DWORD dwPid, std::string* psHow)
{
    Resources r;
    r.ullPrivate = CommittedPrivate(hProcess);
    std::string sHow = "VirtualQueryEx";
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(hProcess, &pmc, sizeof pmc)) r.ullResident = pmc.PagefileUsage;
    r.nGdi = static_cast<long>(GetGuiResources(hProcess, GR_GDIOBJECTS));
    r.nUser = static_cast<long>(GetGuiResources(hProcess, GR_USEROBJECTS));
    if (r.nGdi == 0) {
        r.nGdi = CountGdiTable(hProcess);
        sHow += ", GDI handle table";
    } else {
        sHow += ", GetGuiResources";
    }
    if (r.nUser == 0) {
        WindowCount count = {dwPid, 0};
        EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
        r.nUser = count.n;
        sHow += ", windows";
    } else {
        sHow += ", GetGuiResources";
    }
    if (psHow != nullptr) *psHow = sHow;
    return r;
}

bool Within5Percent(double dEnd, double dBase)
{
    double dDiff = dEnd > dBase ? dEnd - dBase : dBase - dEnd;
    return dBase > 0 && dDiff <= 0.05 * dBase;
}

// RVX's record, followed as it grows.
struct RvxTail {
    std::string sPath;
    LONGLONG llOffset = 0;
    std::string sPartial;
    long anReceived[4] = {0, 0, 0, 0};   // 2187, 2188, 2124, 2164
    int iSyncSeen = -1;                   // the value of the last 2187 of a synchronising "RP"
    std::vector<std::string> asRoute;     // texts of 2187 with value iRouteValue
    int iRouteValue = -1;
};

void TakeLine(RvxTail* pTail, const std::string& sLine)
{
    size_t i = sLine.find("RVX <- ");
    if (i == std::string::npos) return;
    int iMessage = std::atoi(sLine.c_str() + i + 7);
    const int aiCounted[4] = {MSG_REVERTIVE, MSG_REVERTIVE_SERIES, MSG_ROUTE_COMMAND, MSG_NAME_REQUEST};
    for (int k = 0; k < 4; ++k) pTail->anReceived[k] += iMessage == aiCounted[k];
    if (iMessage != MSG_REVERTIVE) return;
    size_t iValue = sLine.find(" value=");
    int iValueOf = iValue == std::string::npos ? -1 : std::atoi(sLine.c_str() + iValue + 7);
    if (iValueOf >= kSyncFirst && iValueOf < kSyncFirst + kSyncCount) pTail->iSyncSeen = iValueOf;
    if (iValueOf == pTail->iRouteValue) {
        size_t iText = sLine.find("text=\"");
        if (iText != std::string::npos) pTail->asRoute.push_back(sLine.substr(iText + 6));
    }
}

// Reads what RVX has recorded since the last call.
void FollowRvx(RvxTail* pTail)
{
    HANDLE h = CreateFileA(pTail->sPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER li;
    li.QuadPart = pTail->llOffset;
    SetFilePointerEx(h, li, nullptr, FILE_BEGIN);
    static char ac[1 << 16];
    DWORD dwRead = 0;
    while (ReadFile(h, ac, sizeof ac, &dwRead, nullptr) && dwRead > 0) {
        pTail->llOffset += dwRead;
        pTail->sPartial.append(ac, dwRead);
        size_t iStart = 0;
        for (size_t iEnd; (iEnd = pTail->sPartial.find('\n', iStart)) != std::string::npos; iStart = iEnd + 1) {
            TakeLine(pTail, pTail->sPartial.substr(iStart, iEnd - iStart));
        }
        pTail->sPartial.erase(0, iStart);
    }
    CloseHandle(h);
}

// Sends "RP 201 d d W" with the next synchronising workstation and waits
// until its revertive is recorded: every command sent before it has been
// processed. False when it did not come within the time.
bool Synchronise(Site* pSite, RvxTail* pTail, int* piSync, int d, DWORD dwMs)
{
    *piSync = *piSync + 1 >= kSyncFirst + kSyncCount || *piSync < kSyncFirst ? kSyncFirst : *piSync + 1;
    SendToDriver(pSite, MSG_DRIVER_COMMAND,
                 "RP 201 " + std::to_string(d) + " " + std::to_string(d) + " " + std::to_string(*piSync));
    DWORD dwStart = GetTickCount();
    for (;;) {
        FollowRvx(pTail);
        if (pTail->iSyncSeen == *piSync) return true;
        if (GetTickCount() - dwStart >= dwMs) return false;
        PumpFor(5);
    }
}

// What RVX must receive for the commands sent.
struct Expected {
    long anReceived[4] = {0, 0, 0, 0};   // as RvxTail::anReceived
};

int RangeCount(int d1, int d2)
{
    if (d1 < 1 || d1 > kBurstPackages) return 0;
    int iTo = d2 > kBurstPackages ? kBurstPackages : d2;
    return iTo >= d1 ? iTo - d1 + 1 : 0;
}

// One random router command: its text, with the model and the expected
// traffic brought up to date.
std::string NextCommand(RouteState* pModel, Expected* pExpected, long* pnNames, Site* pSite)
{
    int iKind = RandomBelow(100);
    int iWs = 1 + RandomBelow(kSyncFirst - 1);
    int d = 1 + RandomBelow(kBurstPackages);
    std::string sWs = std::to_string(iWs);
    if (iKind < 60) {
        int s = 1 + RandomBelow(kBurstPackages);
        if (pModel->aiLock[static_cast<size_t>(d)] == 0) {
            pModel->aiIndex[static_cast<size_t>(d)] = s;
            pExpected->anReceived[0] += 1;
            pExpected->anReceived[2] += kLevels;
        }
        return "RC 201 " + std::to_string(s) + " " + std::to_string(d) + " ',1,2,3' " + sWs;
    }
    if (iKind < 94) {
        bool bSeries = iKind >= 82;
        int d2 = d + RandomBelow(4);
        pExpected->anReceived[bSeries ? 1 : 0] += RangeCount(d, d2);
        return std::string(bSeries ? "RQ 201 " : "RP 201 ") + std::to_string(d) + " " + std::to_string(d2) + " " + sWs;
    }
    if (iKind < 98) {
        int iValue = RandomBelow(10) < 3 ? 1 : 0;
        pModel->aiLock[static_cast<size_t>(d)] = iValue;
        return "RL 201 " + std::to_string(d) + " " + std::to_string(d) + " " + std::to_string(iValue) + " " + sWs;
    }
    if (iKind < 99) {
        pExpected->anReceived[0] += kBurstPackages;
        return "RF 201 " + sWs;
    }
    // A name change that RVX reports: the driver asks for the name again.
    int iDatabase = RandomBelow(2);
    DWORD_PTR dwIgnored = 0;
    SendMessageTimeoutA(pSite->hDriver, MSG_NAME_CHANGED, 0, MAKELPARAM(d, iDatabase), SMTO_NORMAL, 20000, &dwIgnored);
    pExpected->anReceived[3] += 1;
    ++*pnNames;
    return "";
}

// The operator on the panel: chooses a destination and a source and presses
// Take, then presses the lock button once or twice. Posted, as the input of
// a real operator is: it is handled from the driver's message loop, between
// commands. Returns the number of panel actions.
int OperatePanel(Site* pSite, RouteState* pModel, Expected* pExpected)
{
    HWND hPanel = FindWindowExA(pSite->hDriver, nullptr, "BORDLG", nullptr);
    if (hPanel == nullptr) return 0;
    int d = 1 + RandomBelow(kBurstPackages);
    int s = 1 + RandomBelow(kBurstPackages);
    const int aiList[2] = {IDC_DEST_LIST, IDC_SOURCE_LIST};
    const int aiEntry[2] = {d - 1, s - 1};
    for (int i = 0; i < 2; ++i) {
        HWND hList = GetDlgItem(hPanel, aiList[i]);
        PostMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(aiEntry[i]), 0);
        PostMessageA(hPanel, WM_COMMAND, MAKEWPARAM(aiList[i], LBN_SELCHANGE), reinterpret_cast<LPARAM>(hList));
    }
    // Take is disabled on a locked destination.
    PostMessageA(GetDlgItem(hPanel, IDC_TAKE), BM_CLICK, 0, 0);
    if (pModel->aiLock[static_cast<size_t>(d)] == 0) {
        pModel->aiIndex[static_cast<size_t>(d)] = s;
        pExpected->anReceived[0] += 1;
        pExpected->anReceived[2] += kLevels;
    }
    int nPresses = 1 + RandomBelow(2);
    for (int i = 0; i < nPresses; ++i) {
        PostMessageA(GetDlgItem(hPanel, IDC_LOCK), BM_CLICK, 0, 0);
        pModel->aiLock[static_cast<size_t>(d)] = pModel->aiLock[static_cast<size_t>(d)] != 0 ? 0 : 1;
    }
    return 1 + nPresses;
}

void PrintResources(const char* pWhen, long nCommands, DWORD dwStart, const Resources& r)
{
    std::printf("soak: %s %ld commands, %lu s: private %llu bytes (resident %.2f MB), GDI objects %ld, USER objects "
                "%ld\n",
                pWhen, nCommands, static_cast<unsigned long>((GetTickCount() - dwStart) / 1000), r.ullPrivate,
                r.ullResident / 1048576.0, r.nGdi, r.nUser);
    std::fflush(stdout);
}

}  // namespace

int CampaignSoak(int nCount, Figures* pFig)
{
    Site site;
    const std::string sMore = "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=F,R,103\n"
                              "[Masks]\nMask_01=---,1,2,3\n";
    bool bUp = CreateSite(&site) && WriteCampaignProfile(&site, "DatabaseSize_0=64\nDatabaseSize_1=64\n", sMore) &&
               StartRvx(&site) && StartInfoDriver(&site, 0, PackageSlots()) &&
               StartInfoDriver(&site, 1, PackageSlots()) && StartInfoDriver(&site, 2, LevelMapSlots()) &&
               StartDriver(&site) && WaitDriverServing(&site, 60000);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "soak: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    RvxTail tail;
    tail.sPath = site.sRvxLog;
    FollowRvx(&tail);
    Expected expected;
    for (int k = 0; k < 4; ++k) expected.anReceived[k] = tail.anReceived[k];
    RouteState sModel;
    int iSync = 0;
    long nCommands = 0;
    long nNames = 0;
    long nPanel = 0;
    long nSyncs = 0;   // the batches' synchronising "RP"s
    long nSinceProgress = 0;
    bool bBaseline = false;
    Resources rBase;
    std::string sHow;
    DWORD dwStart = GetTickCount();
    while (nCommands < nCount) {
        for (int i = 0; i < kBatch && nCommands < nCount; ++i) {
            std::string sText = NextCommand(&sModel, &expected, &nNames, &site);
            ++nCommands;
            if (sText.empty()) continue;
            if (SendToDriver(&site, MSG_DRIVER_COMMAND, sText) != 1) {
                Fail(pFig, &pFig->nOther, "soak: command not accepted: " + sText);
            }
        }
        // Idle again: the panel's turn, then everything confirmed.
        bool bSynced = Synchronise(&site, &tail, &iSync, 1, 120000);
        expected.anReceived[0] += 1;
        ++nCommands;
        ++nSyncs;
        if (bSynced) {
            int nActions = OperatePanel(&site, &sModel, &expected);
            nPanel += nActions;
            nCommands += nActions;
            bSynced = Synchronise(&site, &tail, &iSync, 1, 120000);
            expected.anReceived[0] += 1;
            ++nCommands;
            ++nSyncs;
        }
        ++pFig->nChecks;
        if (!bSynced) {
            Fail(pFig, &pFig->nCrashes, "soak: no answer within 120 s after " + std::to_string(nCommands) + " commands");
            break;
        }
        nSinceProgress += kBatch;
        if (!bBaseline && nCommands >= kBaseline) {
            PumpFor(500);   // the panel's refresh
            rBase = Measure(site.driver.hProcess, site.driver.dwPid, &sHow);
            bBaseline = true;
            PrintResources("after", nCommands, dwStart, rBase);
            nSinceProgress = 0;
        } else if (nSinceProgress >= 10000) {
            PrintResources("after", nCommands, dwStart,
                           Measure(site.driver.hProcess, site.driver.dwPid, nullptr));
            nSinceProgress = 0;
        }
    }
    pFig->nInputs = nCommands;
    PumpFor(500);
    Resources rEnd = Measure(site.driver.hProcess, site.driver.dwPid, nullptr);
    PrintResources("end,", nCommands, dwStart, rEnd);

    // Every revertive, level command and name request the commands asked for.
    FollowRvx(&tail);
    const char* const apWhat[4] = {"revertives (2187)", "series revertives (2188)", "level commands (2124)",
                                   "name requests (2164)"};
    for (int k = 0; k < 4; ++k) {
        ++pFig->nChecks;
        if (tail.anReceived[k] != expected.anReceived[k]) {
            Fail(pFig, tail.anReceived[k] < expected.anReceived[k] ? &pFig->nLost : &pFig->nWrong,
                 "soak: RVX received " + std::to_string(tail.anReceived[k]) + " " + apWhat[k] + ", expected " +
                     std::to_string(expected.anReceived[k]));
        }
    }
    // The routes of every destination, and the locks.
    tail.iRouteValue = 1000;
    SendToDriver(&site, MSG_DRIVER_COMMAND, "RP 201 1 " + std::to_string(kBurstPackages) + " 1000");
    Synchronise(&site, &tail, &iSync, 1, 60000);
    ++pFig->nChecks;
    int nRoutesWrong = 0;
    for (int d = 1; d <= kBurstPackages; ++d) {
        char acWant[40];
        std::snprintf(acWant, sizeof acWant, "RR 201 %03d %03d\"", d, sModel.aiIndex[static_cast<size_t>(d)]);
        bool bFound = static_cast<size_t>(d) <= tail.asRoute.size() &&
                      tail.asRoute[static_cast<size_t>(d - 1)].compare(0, std::strlen(acWant), acWant) == 0;
        nRoutesWrong += !bFound;
    }
    if (nRoutesWrong > 0) {
        Fail(pFig, &pFig->nLost, "soak: " + std::to_string(nRoutesWrong) + " routes differ from the commands'");
    }
    std::string sIndex;
    std::string sLock;
    ReadWholeFile(SiteFile(&site, "DAT"), &sIndex);
    ReadWholeFile(SiteFile(&site, "LCK"), &sLock);
    RouteState sFile;
    std::string sWhy;
    ++pFig->nChecks;
    if (!DecodeFiles(sIndex, sLock, &sFile, &sWhy) || sFile.aiLock != sModel.aiLock) {
        Fail(pFig, &pFig->nLost, "soak: the lock file does not hold the locks " + sWhy);
    }
    ++pFig->nChecks;
    DWORD dwExit = 99;
    if (!CloseDriver(&site, &dwExit)) {
        Fail(pFig, &pFig->nCrashes, "soak: no clean close, exit " + std::to_string(dwExit));
    }
    ReadWholeFile(SiteFile(&site, "DAT"), &sIndex);
    ++pFig->nChecks;
    if (!DecodeFiles(sIndex, sLock, &sFile, &sWhy) || sFile.aiIndex != sModel.aiIndex) {
        Fail(pFig, &pFig->nLost, "soak: the index file does not hold the routes " + sWhy);
    }

    // The resources: the end within 5 % of the values after 10,000 commands.
    pFig->nChecks += 3;
    if (!bBaseline) {
        Fail(pFig, &pFig->nOther, "soak: fewer than 10,000 commands, nothing to compare");
    } else {
        if (!Within5Percent(static_cast<double>(rEnd.ullPrivate), static_cast<double>(rBase.ullPrivate))) {
            Fail(pFig, &pFig->nOther, "soak: private bytes " + std::to_string(rBase.ullPrivate) + " after 10,000, " +
                                          std::to_string(rEnd.ullPrivate) + " at the end");
        }
        if (!Within5Percent(rEnd.nGdi, rBase.nGdi)) {
            Fail(pFig, &pFig->nOther, "soak: GDI objects " + std::to_string(rBase.nGdi) + " after 10,000, " +
                                          std::to_string(rEnd.nGdi) + " at the end");
        }
        if (!Within5Percent(rEnd.nUser, rBase.nUser)) {
            Fail(pFig, &pFig->nOther, "soak: USER objects " + std::to_string(rBase.nUser) + " after 10,000, " +
                                          std::to_string(rEnd.nUser) + " at the end");
        }
    }
    std::printf("soak: %ld commands (%ld router commands of the mix, %ld name changes, %ld panel actions, %ld "
                "synchronising \"RP\"s); RVX received %ld revertives, %ld series revertives, %ld level commands, %ld "
                "name requests; measured by %s\n",
                nCommands, nCommands - nNames - nPanel - nSyncs, nNames, nPanel, nSyncs, tail.anReceived[0],
                tail.anReceived[1], tail.anReceived[2], tail.anReceived[3], sHow.c_str());
    RemoveSite(&site);
    return 0;
}
