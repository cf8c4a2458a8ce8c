// zurbench: how close the driver comes to the platform's own cost of an
// exchange (a WM_COPYDATA request and its nested reply between two
// processes). In each round, side by side:
//   - the floor: this program against zurfloor.exe, a bare transport peer;
//   - start-up to ready with 512, 1024, 2048 and 4096 packages per database
//     (attach to the first answer to a router command queued during
//     start-up: registered, level map initialised, both lists filled);
//   - with 4096 packages also takes of a 5-level and a 31-level package and
//     an "RF" sweep over 4096 destinations, with the driver's CPU time.
// The peers are the stand-ins; rvxsim's script plays the commands and
// times them ("elapsed"). A first round with the peers' logs on counts the
// exchanges of each phase; its times are not used (logging weighs on them).
// Prints one table (markdown) on stdout.
#include "tests/support/site.h"
#include "tests/support/support.h"

#include "ipc/transport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kPackageCounts[] = {512, 1024, 2048, 4096};
const int kTakes5 = 400;
const int kTakes31 = 150;
const DWORD kPauseMs = 300;   // idle gap in which the driver's CPU time is read
// rvxsim's marks are read this often. Each read wakes this program and makes
// window server requests that the floor's measurement does not have; a
// message pump's 10 ms slices would be 100 such wakes a second.
const DWORD kFollowMs = 100;
// Every message number the peers record, kept off rvxsim's screen so that
// its output carries only the script's marks.
const char kHideAll[] = "2031,2032,2119,2123,2124,2134,2144,2164,2184,2186,2187,2188,2189,2215,2984";

HWND hWndOwn = nullptr;
// The wineserver's CPU time over all floor measurements, and their exchanges.
double dFloorServerMs = 0;
long lFloorExchanges = 0;
// This program's (the requester's) and the bare peer's CPU time over them.
double dFloorRequesterMs = 0, dFloorPeerMs = 0;
long lFloorCpuExchanges = 0;

double ServerCpuMs();
double UnixCpuMs(long iPid);
long UnixPidOf(const char* pExe, const std::string& sArgs);

LRESULT CALLBACK OwnWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    if (uMsg >= 2000 && uMsg < 3000) return 0;
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

double Now()
{
    static LARGE_INTEGER liFrequency = {};
    if (liFrequency.QuadPart == 0) QueryPerformanceFrequency(&liFrequency);
    LARGE_INTEGER li;
    QueryPerformanceCounter(&li);
    return static_cast<double>(li.QuadPart) * 1000.0 / static_cast<double>(liFrequency.QuadPart);
}

double Median(std::vector<double> ad)
{
    if (ad.empty()) return 0;
    std::sort(ad.begin(), ad.end());
    size_t n = ad.size();
    return n % 2 ? ad[n / 2] : (ad[n / 2 - 1] + ad[n / 2]) / 2;
}

double MinOf(const std::vector<double>& ad) { return ad.empty() ? 0 : *std::min_element(ad.begin(), ad.end()); }
double MaxOf(const std::vector<double>& ad) { return ad.empty() ? 0 : *std::max_element(ad.begin(), ad.end()); }

// The floor: iCount exchanges with a bare transport peer, each the shape of
// a slot read (a text request, its nested reply copied back). Microseconds
// per exchange; 0 when the peer did not start.
double MeasureFloor(int iCount)
{
    StartedProcess peer = StartProgram("zurfloor.exe", "");
    HWND hPeer = WaitForWindow("ZurFloor", nullptr, peer.dwPid, 20000);
    double dResult = 0;
    if (hPeer != nullptr) {
        char acReply[257];
        for (int i = 1; i <= 200; ++i) SendCopyText(hWndOwn, hPeer, 2727, i, "5,7,9,1,Camera 1", acReply, 256);
        long iPeerUnix = UnixPidOf("zurfloor.exe", "");
        // This program's Linux process, found as the others are: read as
        // "self" through the Z: drive, /proc gave about half as much again as
        // the process's own stat shows.
        static long iOwnUnix = UnixPidOf("zurbench.exe", "");
        double dServer = ServerCpuMs(), dRequester = UnixCpuMs(iOwnUnix), dPeer = UnixCpuMs(iPeerUnix);
        double dStart = Now();
        for (int i = 1; i <= iCount; ++i) {
            SendCopyText(hWndOwn, hPeer, 2727, i & 0xFFF, "5,7,9,1,Camera 1", acReply, 256);
        }
        dResult = (Now() - dStart) * 1000.0 / iCount;
        if (dServer >= 0) {
            dFloorServerMs += ServerCpuMs() - dServer;
            lFloorExchanges += iCount;
        }
        if (dRequester >= 0 && dPeer >= 0) {
            dFloorRequesterMs += UnixCpuMs(iOwnUnix) - dRequester;
            dFloorPeerMs += UnixCpuMs(iPeerUnix) - dPeer;
            lFloorCpuExchanges += iCount;
        }
        if (std::strcmp(acReply, "5,7,9,1,Camera 1") != 0) dResult = 0;
        PostMessageA(hPeer, WM_CLOSE, 0, 0);
        WaitForExit(peer.hProcess, 5000);
    }
    EndProcess(&peer);
    return dResult;
}

// Levels 1..5 as in the worked example (F,R,101; F,R,102; R,R,103; F,G,104;
// F,I,105), levels 6..31 forward routes on devices 106..131.
std::string LevelsSection()
{
    std::string s = "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=R,R,103\nLevel_04=F,G,104\n"
                    "Level_05=F,I,105\n";
    char ac[64];
    for (int i = 6; i <= 31; ++i) {
        std::snprintf(ac, sizeof ac, "Level_%02d=F,R,%d\n", i, 100 + i);
        s += ac;
    }
    return s;
}

std::string Mask31()
{
    std::string s;
    for (int i = 1; i <= 31; ++i) s += "," + std::to_string(i);
    return s;
}

struct Files {
    std::string sSources, sDests, sLevelMap;
};

// Source packages 12 (the worked example) and 13 (31 levels), with 14 and 15
// alike but for their names, destination packages 34 and 35, and the level
// map slots 1..4096 already holding the default mapping (a driver's start
// after the first).
Files WriteSlotFiles()
{
    Files f = {TempFile("bench-src", "txt"), TempFile("bench-dst", "txt"), TempFile("bench-map", "txt")};
    std::string sSrc13 = "5,7,9,1,Camera 13", sDst35 = "20,21,30,4,12";
    for (int i = 6; i <= 31; ++i) {
        sSrc13 += "," + std::to_string(100 + i);
        sDst35 += "," + std::to_string(200 + i);
    }
    std::string sSrc15 = sSrc13;
    sSrc15.replace(sSrc15.find("Camera 13"), 9, "Camera 15");
    WriteTextFile(f.sSources, "12 5,7,9,1,Camera 1\n13 " + sSrc13 + "\n14 5,7,9,1,Camera 2\n15 " + sSrc15 + "\n");
    WriteTextFile(f.sDests, "34 20,21,30,4,12\n35 " + sDst35 + "\n");
    std::string sMap;
    for (int i = 1; i <= 32; ++i) sMap += (i > 1 ? "," : "") + std::to_string(i);
    std::string sAll;
    for (int i = 1; i <= 4096; ++i) sAll += std::to_string(i) + " " + sMap + "\n";
    WriteTextFile(f.sLevelMap, sAll);
    return f;
}

std::string Script(bool bFull)
{
    std::string s =
        "wait-attach 60\n"
        "elapsed \"attach\"\n"
        // Queued while the driver starts; answered once its loop runs.
        "send 2189 \"RP 201 1 1 0\"\n"
        "expect-line \"RR 201 001 000\" 120\n"
        "elapsed \"ready\"\n";
    if (!bFull) return s + "quit\n";
    std::string sPause = "sleep " + std::to_string(kPauseMs) + "\nelapsed \"pause\"\n";
    s += sPause;
    // Takes alternate between two sources, as an operator's would, so that
    // every command changes what the panel shows.
    s += "repeat " + std::to_string(kTakes5 / 2) +
         "\nsend 2189 \"RC 201 12 34 ',1,2,3,4,5' 7\"\nexpect 2187 \"RR 201 034 012\" 10\n"
         "send 2189 \"RC 201 14 34 ',1,2,3,4,5' 7\"\nexpect 2187 \"RR 201 034 014\" 10\nend\n"
         "elapsed \"take5\"\n";
    s += sPause;
    s += "repeat " + std::to_string(kTakes31 / 2) + "\nsend 2189 \"RC 201 13 35 '" + Mask31() +
         "' 7\"\nexpect 2187 \"RR 201 035 013\" 10\nsend 2189 \"RC 201 15 35 '" + Mask31() +
         "' 7\"\nexpect 2187 \"RR 201 035 015\" 10\nend\nelapsed \"take31\"\n";
    s += sPause;
    s += "send 2189 \"RF 201 7\"\nexpect 2187 \"RR 201 4096 000\" 60\nelapsed \"sweep\"\n";
    s += "sleep " + std::to_string(kPauseMs) + "\nquit\n";
    return s;
}

// One phase of a driver run: its time, the driver's CPU time in it, and
// (counted from the logs) its exchanges.
struct Phase {
    double dMs = 0;
    double dCpuMs = 0;         // the driver's
    double dPeersCpuMs = 0;    // rvxsim's and the InfoDrivers'
    double dServerCpuMs = 0;   // the wineserver's (-1: not known)
    long lExchanges = 0;
};

enum { kReady = 0, kTake5, kTake31, kSweep, kPhases };
const char* const kPhaseNames[kPhases] = {"ready", "take5", "take31", "sweep"};

struct Run {
    bool bOk = false;
    double dLaunchToReadyMs = 0;
    Phase asPhase[kPhases];
};

// CPU time (user and system) of Linux process iPid, read through the Z:
// drive, in ms; -1 when not known. Wine's GetProcessTimes cannot serve here:
// for another process it gave a small part of what /proc counts (0.00-0.05 ms
// per take against some 0.5 ms).
double UnixCpuMs(long iPid)
{
    if (iPid <= 0) return -1;
    std::string sStat = ReadBinaryFile("Z:\\proc\\" + std::to_string(iPid) + "\\stat");
    // Fields after the command name in parentheses: state is field 3,
    // utime 14 and stime 15, in clock ticks of 10 ms.
    const char* p = std::strrchr(sStat.c_str(), ')');
    if (p == nullptr) return -1;
    int iField = 2;
    double dTicks = 0;
    for (++p; *p != '\0'; ++p) {
        if (*p != ' ') continue;
        ++iField;
        if (iField == 14 || iField == 15) dTicks += std::atof(p + 1);
    }
    return dTicks * 10.0;
}

// The Linux process of a program this one started: the live process whose
// command line holds the program's name followed by its argument text.
long UnixPidOf(const char* pExe, const std::string& sArgs)
{
    // The command line as /proc shows it: the arguments split, quotes gone.
    std::string sWanted = std::string(pExe) + " ";
    for (char c : sArgs) {
        if (c != '"') sWanted.push_back(c);
    }
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA("Z:\\proc\\*", &fd);
    if (hFind == INVALID_HANDLE_VALUE) return -1;
    long iFound = -1;
    do {
        char* pEnd = nullptr;
        long iPid = std::strtol(fd.cFileName, &pEnd, 10);
        if (pEnd == fd.cFileName || *pEnd != '\0') continue;
        std::string sCommand = ReadBinaryFile(std::string("Z:\\proc\\") + fd.cFileName + "\\cmdline");
        std::replace(sCommand.begin(), sCommand.end(), '\0', ' ');
        if (sCommand.find(sWanted) != std::string::npos) iFound = iPid;
    } while (iFound < 0 && FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return iFound;
}

// CPU time of the wineserver (Linux process ZUR_WINESERVER_PID), in ms; -1
// when not known.
double ServerCpuMs()
{
    const char* pPid = std::getenv("ZUR_WINESERVER_PID");
    if (pPid == nullptr || *pPid == '\0') return -1;
    return UnixCpuMs(std::atol(pPid));
}

// A CPU time per take; -1 stays -1 (not known).
double PerTake(double dMs, int nTakes) { return dMs < 0 ? -1 : dMs / nTakes; }

bool Has(const std::string& s, const char* p) { return s.find(p) != std::string::npos; }

bool IsExchange(const std::string& s) { return Has(s, " <- ") || Has(s, " -> "); }

long CountIn(const std::vector<std::string>& as, const char* pA, const char* pB)
{
    long n = 0;
    for (const std::string& s : as) n += Has(s, pA) && Has(s, pB);
    return n;
}

// Exchanges of each phase from the peers' records: rvxsim's lines between
// its marks, and the InfoDrivers' slot reads of the takes, told apart by the
// slots they read (the level map InfoDriver's reads of slots 34 and 35 at
// start-up are its only other reads of them).
void CountExchanges(const std::string& sRvxLog, const std::string asInfoLog[3], Run* pRun)
{
    std::vector<std::string> asRvx = ReadLines(sRvxLog);
    int iPhase = kReady;
    bool bIn = true;
    for (const std::string& s : asRvx) {
        if (Has(s, " == ")) {
            if (Has(s, " == pause ")) {
                bIn = true;
            } else {
                for (int i = 0; i < kPhases; ++i) {
                    if (Has(s, (std::string(" == ") + kPhaseNames[i] + " ").c_str())) {
                        bIn = false;
                        iPhase = i + 1;
                    }
                }
            }
            continue;
        }
        if (bIn && iPhase < kPhases && IsExchange(s)) ++pRun->asPhase[iPhase].lExchanges;
    }
    std::vector<std::string> asInfo[3];
    long lInfoTotal = 0;
    for (int i = 0; i < 3; ++i) {
        asInfo[i] = ReadLines(asInfoLog[i]);
        for (const std::string& s : asInfo[i]) lInfoTotal += IsExchange(s);
    }
    long lReads5 = CountIn(asInfo[0], "<- 2727", "value=12 text=") + CountIn(asInfo[0], "<- 2727", "value=14 text=") +
                   CountIn(asInfo[1], "<- 2727", "value=34 text=") + CountIn(asInfo[2], "<- 2727", "value=34 text=");
    long lReads31 = CountIn(asInfo[0], "<- 2727", "value=13 text=") + CountIn(asInfo[0], "<- 2727", "value=15 text=") +
                    CountIn(asInfo[1], "<- 2727", "value=35 text=") + CountIn(asInfo[2], "<- 2727", "value=35 text=");
    // The level map InfoDriver's start-up reads of slots 34 and 35.
    lReads5 -= CountIn(asInfo[2], "<- 2727", "value=34 text=") > 0;
    lReads31 -= CountIn(asInfo[2], "<- 2727", "value=35 text=") > 0;
    pRun->asPhase[kTake5].lExchanges += lReads5;
    pRun->asPhase[kTake31].lExchanges += lReads31;
    pRun->asPhase[kReady].lExchanges += lInfoTotal - lReads5 - lReads31;
}

// Starts the peers and the driver with iPackages packages per database and
// follows rvxsim's marks; bFull adds takes and the sweep, bLogs the peers'
// logs (for counting).
Run RunDriver(const Files& files, int iPackages, bool bFull, bool bLogs)
{
    Run run;
    DriverSite site;
    CreateSite(&site);
    const std::string& sRoot = site.sRoot;
    const std::string& sConfig = site.sConfig;
    std::string sSize = std::to_string(iPackages);
    WriteTextFile(sConfig + "\\DEV_201.INI",
                  "[Database]\nDatabaseSize_0=" + sSize + "\nDatabaseSize_1=" + sSize +
                      "\n[Combiner]\nSrcePkgInfoId=301\nDestPkgInfoId=302\nLevelMapInfoId=303\nDebugMode=0\n"
                      "SaveDelay=5\nExternalDLL=NONE\n" + LevelsSection());
    std::string sScript = sRoot + "\\script.txt";
    WriteTextFile(sScript, Script(bFull));

    std::string asInfoLog[3], sRvxLog, sRvxOut = sRoot + "\\rvx.out";
    StartedProcess(&info)[3] = site.info;
    StartedProcess& rvx = site.rvx;
    StartedProcess& driver = site.driver;
    const std::string* apSlots[3] = {&files.sSources, &files.sDests, &files.sLevelMap};
    bool bStarted = true;
    long aiInfoUnix[3] = {-1, -1, -1}, iRvxUnix = -1, iDriverUnix = -1;
    for (int i = 0; i < 3 && bStarted; ++i) {
        std::string sDevice = std::to_string(301 + i);
        std::string sArgs = sDevice + " --quiet --slots \"" + *apSlots[i] + "\"";
        if (bLogs) {
            asInfoLog[i] = sRoot + "\\info" + sDevice + ".log";
            sArgs += " --log \"" + asInfoLog[i] + "\"";
        }
        info[i] = StartProgram("infosim.exe", sArgs);
        bStarted = WaitForWindow("InfoSim", ("InfoDriver " + sDevice).c_str(), info[i].dwPid, 20000) != nullptr;
        aiInfoUnix[i] = UnixPidOf("infosim.exe", sArgs);
    }
    if (bStarted) {
        std::string sArgs = std::string("--hide ") + kHideAll + " --script \"" + sScript + "\"";
        if (bLogs) {
            sRvxLog = sRoot + "\\rvx.log";
            sArgs += " --log \"" + sRvxLog + "\"";
        }
        rvx = StartProgram("rvxsim.exe", sArgs, {}, sRvxOut);
        bStarted = WaitForWindow("RvxSim", nullptr, rvx.dwPid, 20000) != nullptr;
        iRvxUnix = UnixPidOf("rvxsim.exe", sArgs);
    }
    if (bStarted) {
        double dLaunch = Now();
        double dServerAtLaunch = ServerCpuMs();
        driver = StartProgram("zur.exe", "201", {"CC_ROOT=" + sRoot, "CC_SYSTEM=sys"});
        // Follow rvxsim's marks; the driver is idle in the pauses between
        // phases, when its CPU time is read.
        double dCpuAtPause = 0, dPeersAtPause = 0, dServerAtPause = 0;
        auto DriverCpu = [&]() {
            if (iDriverUnix < 0) iDriverUnix = UnixPidOf("zur.exe", "201");
            return UnixCpuMs(iDriverUnix);
        };
        // -1 when any of the peers' CPU times is not known.
        auto PeersCpu = [&]() {
            double d = UnixCpuMs(iRvxUnix);
            for (long iPid : aiInfoUnix) {
                double dOne = UnixCpuMs(iPid);
                d = d < 0 || dOne < 0 ? -1 : d + dOne;
            }
            return d;
        };
        // A CPU time spent since a mark; -1 when either reading is not known.
        auto Since = [](double dNow, double dMark) { return dNow < 0 || dMark < 0 ? -1 : dNow - dMark; };
        size_t nSeen = 0;
        double dDeadline = Now() + 180000;
        bool bDone = false;
        while (!bDone && Now() < dDeadline) {
            bool bExited = WaitForSingleObject(rvx.hProcess, kFollowMs) == WAIT_OBJECT_0;
            std::vector<std::string> asLine = ReadLines(sRvxOut);
            for (; nSeen < asLine.size(); ++nSeen) {
                const std::string& s = asLine[nSeen];
                if (Has(s, " !! ")) {
                    std::fprintf(stderr, "zurbench: %s\n", s.c_str());
                    bDone = true;
                    break;
                }
                size_t iMark = s.find(" == ");
                size_t iElapsed = s.find(" elapsed=");
                if (iMark == std::string::npos || iElapsed == std::string::npos) continue;
                std::string sName = s.substr(iMark + 4, iElapsed - iMark - 4);
                double dMs = std::atof(s.c_str() + iElapsed + 9);
                if (sName == "pause") {
                    dCpuAtPause = DriverCpu();
                    dPeersAtPause = PeersCpu();
                    dServerAtPause = ServerCpuMs();
                    continue;
                }
                for (int i = 0; i < kPhases; ++i) {
                    if (sName != kPhaseNames[i]) continue;
                    run.asPhase[i].dMs = dMs;
                    if (i == kReady) {
                        run.dLaunchToReadyMs = Now() - dLaunch;
                        // From launch: the driver's and the wineserver's CPU
                        // time include loading the program.
                        run.asPhase[i].dCpuMs = DriverCpu();
                        run.asPhase[i].dServerCpuMs = Since(ServerCpuMs(), dServerAtLaunch);
                    } else {
                        run.asPhase[i].dCpuMs = Since(DriverCpu(), dCpuAtPause);
                        run.asPhase[i].dPeersCpuMs = Since(PeersCpu(), dPeersAtPause);
                        run.asPhase[i].dServerCpuMs = Since(ServerCpuMs(), dServerAtPause);
                    }
                    if (i == (bFull ? kSweep : kReady)) run.bOk = true;
                }
            }
            if (bExited) bDone = true;
        }
        if (bLogs && run.bOk) CountExchanges(sRvxLog, asInfoLog, &run);
    }
    bool bRvxEnded = WaitForSingleObject(rvx.hProcess, 0) == WAIT_OBJECT_0;
    if (!run.bOk) {
        std::fprintf(stderr, "zurbench: the run with %d packages did not complete (rvxsim %s); its last lines:\n",
                     iPackages, bRvxEnded ? "had ended" : "was still running");
        std::vector<std::string> asLine = ReadLines(sRvxOut);
        for (size_t i = asLine.size() > 5 ? asLine.size() - 5 : 0; i < asLine.size(); ++i) {
            std::fprintf(stderr, "  %s\n", asLine[i].c_str());
        }
    }
    RemoveSite(&site);
    return run;
}

std::string Format(const char* pFormat, double d)
{
    char ac[64];
    std::snprintf(ac, sizeof ac, pFormat, d);
    return ac;
}

// "median (min-max)"
std::string Spread(const char* pFormat, const std::vector<double>& ad)
{
    return Format(pFormat, Median(ad)) + " (" + Format(pFormat, MinOf(ad)) + "-" + Format(pFormat, MaxOf(ad)) + ")";
}

}  // namespace

int main(int argc, char** argv)
{
    // "floor N": only N floor exchanges, for tracing them on their own.
    bool bFloorOnly = argc > 2 && std::strcmp(argv[1], "floor") == 0;
    int iRounds = argc > 1 && !bFloorOnly ? std::atoi(argv[1]) : 3;
    if (iRounds < 1) iRounds = 1;
    // Long enough to average over the machine's moments: measured over 1000
    // exchanges (0.2 s on one CPU), the floor moved by some 15 % from one
    // measurement to the next.
    const int iFloorCount = 3000;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZurBench";
    RegisterClassA(&wc);
    // Message-only: the driver's broadcasts to top-level windows pass it by.
    hWndOwn = CreateWindowA("ZurBench", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (hWndOwn == nullptr) return 4;
    if (bFloorOnly) {
        double dFloor = MeasureFloor(std::atoi(argv[2]) > 0 ? std::atoi(argv[2]) : 1);
        std::printf("floor %.1f us per exchange", dFloor);
        if (lFloorCpuExchanges > 0) {
            std::printf(", CPU per exchange: requester %.0f us, peer %.0f us", dFloorRequesterMs * 1000.0 / lFloorCpuExchanges,
                        dFloorPeerMs * 1000.0 / lFloorCpuExchanges);
        }
        std::printf("\n");
        return dFloor > 0 ? 0 : 3;
    }

    Files files = WriteSlotFiles();
    const int nSizes = sizeof kPackageCounts / sizeof kPackageCounts[0];

    // Counting round: the exchanges of every phase, from the peers' logs.
    long alStartup[nSizes] = {};
    Run counted;
    for (int k = 0; k < nSizes; ++k) {
        bool bFull = kPackageCounts[k] == 4096;
        Run run = RunDriver(files, kPackageCounts[k], bFull, true);
        if (!run.bOk) return 3;
        alStartup[k] = run.asPhase[kReady].lExchanges;
        if (bFull) counted = run;
    }
    // Each phase of the counted run started with the driver's first take onto
    // its destination, which reads no previous source package; later takes
    // read one slot more, as the timed ones do after the first.
    double dPerTake5 = static_cast<double>(counted.asPhase[kTake5].lExchanges + 1) / kTakes5;
    double dPerTake31 = static_cast<double>(counted.asPhase[kTake31].lExchanges + 1) / kTakes31;

    std::vector<double> adFloor, adRatioStartup[nSizes], adStartup[nSizes], adLaunch[nSizes];
    // The driver's and the wineserver's CPU time from launch to ready.
    std::vector<double> adStartupCpu[nSizes], adStartupServer[nSizes];
    std::vector<double> adTake5, adTake31, adSweep, adCpu5, adCpu31, adRatio5, adRatio31, adRatioSweep;
    // CPU per take (or per sweep) of the peers and of the wineserver.
    std::vector<double> adPeers5, adPeers31, adPeersSweep, adServer5, adServer31, adServerSweep, adCpuSweep;
    // The floor is measured right before and after each driver run, and the
    // run is compared with the mean of the two: the load of a shared machine
    // changes from one minute to the next.
    double dFloorBefore = MeasureFloor(iFloorCount);
    if (dFloorBefore <= 0) return 3;
    adFloor.push_back(dFloorBefore);
    for (int r = 0; r < iRounds; ++r) {
        std::fprintf(stderr, "round %d\n", r + 1);
        for (int k = 0; k < nSizes; ++k) {
            bool bFull = kPackageCounts[k] == 4096;
            Run run = RunDriver(files, kPackageCounts[k], bFull, false);
            if (!run.bOk) return 3;
            double dFloorAfter = MeasureFloor(iFloorCount);
            if (dFloorAfter <= 0) return 3;
            adFloor.push_back(dFloorAfter);
            double dFloor = (dFloorBefore + dFloorAfter) / 2;
            dFloorBefore = dFloorAfter;
            std::fprintf(stderr, "  floor %.1f us\n", dFloor);
            double dMs = run.asPhase[kReady].dMs;
            adStartup[k].push_back(dMs);
            adLaunch[k].push_back(run.dLaunchToReadyMs);
            adStartupCpu[k].push_back(run.asPhase[kReady].dCpuMs);
            adStartupServer[k].push_back(run.asPhase[kReady].dServerCpuMs);
            adRatioStartup[k].push_back(alStartup[k] * dFloor / 1000.0 / dMs);
            std::fprintf(stderr, "  %d packages: ready %.0f ms\n", kPackageCounts[k], dMs);
            if (!bFull) continue;
            double d5 = run.asPhase[kTake5].dMs / kTakes5, d31 = run.asPhase[kTake31].dMs / kTakes31;
            adTake5.push_back(d5);
            adTake31.push_back(d31);
            adCpu5.push_back(PerTake(run.asPhase[kTake5].dCpuMs, kTakes5));
            adCpu31.push_back(PerTake(run.asPhase[kTake31].dCpuMs, kTakes31));
            adRatio5.push_back(dPerTake5 * dFloor / 1000.0 / d5);
            adRatio31.push_back(dPerTake31 * dFloor / 1000.0 / d31);
            adSweep.push_back(run.asPhase[kSweep].dMs);
            adCpuSweep.push_back(run.asPhase[kSweep].dCpuMs);
            adPeers5.push_back(PerTake(run.asPhase[kTake5].dPeersCpuMs, kTakes5));
            adPeers31.push_back(PerTake(run.asPhase[kTake31].dPeersCpuMs, kTakes31));
            adPeersSweep.push_back(run.asPhase[kSweep].dPeersCpuMs);
            adServer5.push_back(PerTake(run.asPhase[kTake5].dServerCpuMs, kTakes5));
            adServer31.push_back(PerTake(run.asPhase[kTake31].dServerCpuMs, kTakes31));
            adServerSweep.push_back(run.asPhase[kSweep].dServerCpuMs);
            adRatioSweep.push_back(counted.asPhase[kSweep].lExchanges * dFloor / 1000.0 / run.asPhase[kSweep].dMs);
            std::fprintf(stderr, "  take5 %.2f ms, take31 %.2f ms, sweep %.0f ms\n", d5, d31, run.asPhase[kSweep].dMs);
        }
    }

    double dFloor = Median(adFloor);
    std::printf("Medians of %d rounds, (min-max) across rounds. The floor (%d exchanges) is measured before\n"
                "and after every driver run; each ratio uses the mean of the two around its run, the floor\n"
                "times shown use the median floor.\n\n",
                iRounds, iFloorCount);
    std::printf("| Measure | Exchanges | Measured | Floor time | Ratio floor/measured |\n");
    std::printf("|---|---|---|---|---|\n");
    std::printf("| Floor: one request and its nested reply, two bare processes | 1 | %s us | - | - |\n",
                Spread("%.1f", adFloor).c_str());
    for (int k = 0; k < nSizes; ++k) {
        std::printf("| Start-up to ready, %d+%d packages (attach to first answer; from launch %s ms) | %ld | %s ms | "
                    "%.0f ms | %s |\n",
                    kPackageCounts[k], kPackageCounts[k], Format("%.0f", Median(adLaunch[k])).c_str(), alStartup[k],
                    Spread("%.0f", adStartup[k]).c_str(), alStartup[k] * dFloor / 1000.0,
                    Spread("%.2f", adRatioStartup[k]).c_str());
    }
    std::printf("| Take, 5-level worked example: %s takes/s | %.1f per take | %s ms/take | %.2f ms | %s |\n",
                Format("%.0f", 1000.0 / Median(adTake5)).c_str(), dPerTake5, Spread("%.2f", adTake5).c_str(),
                dPerTake5 * dFloor / 1000.0, Spread("%.2f", adRatio5).c_str());
    std::printf("| Take, 31-level package: %s takes/s | %.1f per take | %s ms/take | %.2f ms | %s |\n",
                Format("%.0f", 1000.0 / Median(adTake31)).c_str(), dPerTake31, Spread("%.2f", adTake31).c_str(),
                dPerTake31 * dFloor / 1000.0, Spread("%.2f", adRatio31).c_str());
    std::printf("| Driver's own CPU time per take, 5 levels | - | %s ms (%.0f%% of the take) | - | - |\n",
                Spread("%.3f", adCpu5).c_str(), 100.0 * Median(adCpu5) / Median(adTake5));
    std::printf("| Driver's own CPU time per take, 31 levels | - | %s ms (%.0f%% of the take) | - | - |\n",
                Spread("%.3f", adCpu31).c_str(), 100.0 * Median(adCpu31) / Median(adTake31));
    std::printf("| \"RF\" revertive sweep, 4096 destinations | %ld | %s ms | %.0f ms | %s |\n",
                counted.asPhase[kSweep].lExchanges, Spread("%.0f", adSweep).c_str(),
                counted.asPhase[kSweep].lExchanges * dFloor / 1000.0, Spread("%.2f", adRatioSweep).c_str());
    std::printf("\nCost per exchange (measured time / exchanges, medians): start-up");
    for (int k = 0; k < nSizes; ++k) {
        std::printf(" %d: %.0f us%s", kPackageCounts[k], Median(adStartup[k]) * 1000.0 / alStartup[k],
                    k + 1 < nSizes ? "," : ";");
    }
    std::printf(" take 5 levels: %.0f us; take 31 levels: %.0f us; sweep: %.0f us.\n",
                Median(adTake5) * 1000.0 / dPerTake5, Median(adTake31) * 1000.0 / dPerTake31,
                Median(adSweep) * 1000.0 / counted.asPhase[kSweep].lExchanges);
    if (lFloorExchanges > 0) {
        double dServerFloor = dFloorServerMs * 1000.0 / lFloorExchanges;
        std::printf("\nWineserver CPU time per exchange, less sensitive to the load of other programs than the\n"
                    "elapsed time: floor %.0f us; take 5 levels %.0f us; take 31 levels %.0f us; sweep %.0f us.\n",
                    dServerFloor, Median(adServer5) * 1000.0 / dPerTake5, Median(adServer31) * 1000.0 / dPerTake31,
                    Median(adServerSweep) * 1000.0 / counted.asPhase[kSweep].lExchanges);
    }
    std::printf("\nCPU time (medians) from launch to ready, with the loading of the program: driver / "
                "wineserver (per exchange):");
    for (int k = 0; k < nSizes; ++k) {
        std::printf(" %d: %.0f / %.0f ms (%.0f us)%s", kPackageCounts[k], Median(adStartupCpu[k]),
                    Median(adStartupServer[k]), Median(adStartupServer[k]) * 1000.0 / alStartup[k],
                    k + 1 < nSizes ? ";" : ".\n");
    }
    if (lFloorCpuExchanges > 0) {
        std::printf("\nThe driver's own CPU time per exchange, against the floor's requester (its peer in\n"
                    "brackets): take 5 levels %.0f us, take 31 levels %.0f us, sweep %.0f us; floor %.0f us (%.0f us).\n",
                    Median(adCpu5) * 1000.0 / dPerTake5, Median(adCpu31) * 1000.0 / dPerTake31,
                    Median(adCpuSweep) * 1000.0 / counted.asPhase[kSweep].lExchanges,
                    dFloorRequesterMs * 1000.0 / lFloorCpuExchanges, dFloorPeerMs * 1000.0 / lFloorCpuExchanges);
    }
    std::printf("\nCPU time (medians) per take, and for the whole sweep: driver / stand-in peers / wineserver\n"
                "(-1: wineserver not known): take 5 levels %.3f / %.3f / %.3f ms of %.2f ms; take 31 levels\n"
                "%.3f / %.3f / %.3f ms of %.2f ms; sweep %.0f / %.0f / %.0f ms of %.0f ms.\n",
                Median(adCpu5), Median(adPeers5), Median(adServer5), Median(adTake5), Median(adCpu31),
                Median(adPeers31), Median(adServer31), Median(adTake31), Median(adCpuSweep), Median(adPeersSweep),
                Median(adServerSweep), Median(adSweep));
    DestroyWindow(hWndOwn);
    DeleteFileA(files.sSources.c_str());
    DeleteFileA(files.sDests.c_str());
    DeleteFileA(files.sLevelMap.c_str());
    return 0;
}
