// The package take against in-process peers on another thread: three
// InfoDrivers answering slot reads from tables, and an RVX that records the
// level commands and revertives it receives.
#include "command/take.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "command/dispatch.h"
#include "command/routes.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/log.h"
#include "core/messages.h"
#include "ipc/counters.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "tests/host/debug_capture.h"
#include "tests/host/test_host.h"
#include "tests/host/window.h"
#include "ipc/test_support.h"

namespace {

struct AtRvx {
    int iMessage;
    int iValue;
    std::string text;
    bool operator==(const AtRvx& o) const { return iMessage == o.iMessage && iValue == o.iValue && text == o.text; }
};
std::ostream& operator<<(std::ostream& os, const AtRvx& r)
{
    return os << r.iMessage << "/" << r.iValue << " \"" << r.text << "\"";
}

// Written by the peer thread while the driver thread waits in its send.
std::vector<AtRvx> aAtRvx;
std::vector<std::string> asReads;    // "src 12", "dest 34", "map 34"
std::map<int, std::string> mSource, mDest, mMap;

HWND hPeerRvx = nullptr, hPeerSource = nullptr, hPeerDest = nullptr, hPeerMap = nullptr;
HWND hSelf = nullptr;
HANDLE hPeersReady = nullptr;

LRESULT CALLBACK InfoProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    if (uMsg == MSG_INFO_SLOT_READ) {
        int iSlot = static_cast<int>(wParam);
        const char* pName = hWnd == hPeerSource ? "src" : hWnd == hPeerDest ? "dest" : "map";
        std::map<int, std::string>& m = hWnd == hPeerSource ? mSource : hWnd == hPeerDest ? mDest : mMap;
        asReads.push_back(std::string(pName) + " " + std::to_string(iSlot));
        std::snprintf(reinterpret_cast<char*>(lParam), kTextBlockSize, "%s", m[iSlot].c_str());
        return 0;
    }
    if (uMsg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK RvxProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case MSG_ROUTE_COMMAND:
    case MSG_SWITCH_COMMAND:
    case MSG_INFO_WRITE_COMMAND:
    case MSG_REVERTIVE:
    case MSG_REVERTIVE_SERIES:
        aAtRvx.push_back({static_cast<int>(uMsg), static_cast<int>(wParam), reinterpret_cast<const char*>(lParam)});
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK SelfProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

std::string Identity()
{
    std::string s;
    for (int i = 1; i <= 32; ++i) s += (i > 1 ? "," : "") + std::to_string(i);
    return s;
}

typedef void(__cdecl* SetFilterModeFn)(int);
typedef int(__cdecl* FilterCallsFn)();

class Take : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hPeersReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        peers = std::thread([] {
            hPeerRvx = MakeWindow("TakeRvx", RvxProc, "rvx");
            hPeerSource = MakeWindow("TakeInfo", InfoProc, "source");
            hPeerDest = MakeWindow("TakeInfo", InfoProc, "dest");
            hPeerMap = MakeWindow("TakeInfo", InfoProc, "map");
            SetEvent(hPeersReady);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
            DestroyWindow(hPeerRvx);
            DestroyWindow(hPeerSource);
            DestroyWindow(hPeerDest);
            DestroyWindow(hPeerMap);
        });
        WaitForSingleObject(hPeersReady, 10000);
        hSelf = MakeWindow("TakeSelf", SelfProc, "driver");
        sConfigDir = UseTempConfigDir(201);
    }
    static void TearDownTestSuite()
    {
        PostMessageA(hPeerSource, WM_CLOSE, 0, 0);
        peers.join();
        DestroyWindow(hSelf);
    }
    static std::thread peers;
    static std::string sConfigDir;

    // The worked example's device 201: levels 1..5 configured, the others
    // issuing nothing, no mask named, workstation 7 with access, 4096
    // packages on each side; nothing routed or locked, the files as the
    // tables stand.
    void SetUp() override
    {
        iSources = iDests = 4096;
        iRevertiveLevel = 0;
        for (int L = 1; L <= 32; ++L) asLevelText[L] = "N,N,0";
        for (int n = 1; n <= 32; ++n) asMaskText[n] = "";
        asLevelText[1] = "F,R,101";
        asLevelText[2] = "F,R,102";
        asLevelText[3] = "R,R,103";
        asLevelText[4] = "F,G,104";
        asLevelText[5] = "F,I,105";
        LoadProfile();
        for (int d = 1; d <= kPackageMax; ++d) SetRoute(d, 0);
        SetLocks(1, kPackageMax, 0);
        ASSERT_TRUE(SaveIndexFile());
        ASSERT_TRUE(SaveLockFile());
        ResetCounters();
        SetTxRx(kTxRx);
        SetMainWindow(hSelf);
        UseRvx(hPeerRvx);
        UseInfoLinks(hPeerSource, hPeerDest, hPeerMap);
        UseExternalLibrary(nullptr);
        mSource.clear();
        mDest.clear();
        mMap.clear();
        mSource[12] = "5,7,9,1,Camera 1";
        mDest[34] = "20,21,30,4,12";
        mMap[34] = Identity();
        aAtRvx.clear();
        asReads.clear();
        DebugCapture::Take();
        SetDebugMode(0);
    }
    void TearDown() override
    {
        UseExternalLibrary(nullptr);
        if (hLibrary != nullptr) FreeLibrary(hLibrary);
        hLibrary = nullptr;
    }

    // The profile as the fields below give it, loaded as the start-up does.
    void LoadProfile()
    {
        std::string sIni = "[Database]\nDatabaseSize_0=" + std::to_string(iSources) +
                           "\nDatabaseSize_1=" + std::to_string(iDests) +
                           "\n[Combiner]\nRevertiveLevel=" + std::to_string(iRevertiveLevel) + "\n[Levels]\n";
        char acKey[16];
        for (int L = 1; L <= 32; ++L) {
            std::snprintf(acKey, sizeof acKey, "Level_%02d=", L);
            sIni += acKey + asLevelText[L] + "\n";
        }
        sIni += "[Masks]\n";
        for (int n = 1; n <= 32; ++n) {
            std::snprintf(acKey, sizeof acKey, "Mask_%02d=", n);
            sIni += acKey + asMaskText[n] + "\n";
        }
        sIni += "[Security]\nAccess=7\n";
        ASSERT_EQ(LoadTestProfile(sConfigDir, sIni), kProfileComplete);
    }
    // Level L's type (1 forward, 2 reverse), kind (1 route, 2 general
    // switch, 3 InfoDriver write) and device.
    void Level(int L, int iType, int iKind, int iTarget)
    {
        asLevelText[L] = std::string(1, "NFR"[iType]) + "," + std::string(1, "NRGI"[iKind]) + "," +
                         std::to_string(iTarget);
        LoadProfile();
    }
    void Mask(int n, const std::string& sText)
    {
        asMaskText[n] = sText;
        LoadProfile();
    }
    // A route or a lock that the files already keep.
    static void Route(int iDest, int iSource)
    {
        SetRoute(iDest, iSource);
        ASSERT_TRUE(SaveIndexFile());
    }
    static void Lock(int iDest)
    {
        SetLocks(iDest, iDest, 1);
        ASSERT_TRUE(SaveIndexFile());
        ASSERT_TRUE(SaveLockFile());
    }

    int iSources = 4096;
    int iDests = 4096;
    int iRevertiveLevel = 0;
    std::string asLevelText[33];
    DebugCapture capture;   // the driver's debug lines
    std::string asMaskText[33];
    HMODULE hLibrary = nullptr;
    static int RC(const char* pCommand)
    {
        char acCommand[128];
        std::snprintf(acCommand, sizeof acCommand, "%s", pCommand);
        return CommandRC(acCommand);
    }
};
std::thread Take::peers;
std::string Take::sConfigDir;

const std::vector<AtRvx> kWorkedExample = {
    {2124, 101, "RC 101 5 20 ',---' 7"},
    {2124, 102, "RC 102 7 21 ',---' 7"},
    {2124, 103, "RC 103 30 9 ',---' 7"},
    {2134, 104, "GS 104 4 1 7"},
    {2144, 105, "IW 105 'Camera 1' 12 7"},
    {2187, 0, "RR 201 034 012"},
};

TEST_F(Take, WorkedExample)
{
    EXPECT_EQ(RC("RC 201 12 34 ',1,2,3,4,5' 7"), 1);
    EXPECT_EQ(aAtRvx, kWorkedExample);
    EXPECT_EQ(asReads, (std::vector<std::string>{"src 12", "dest 34", "map 34"}));
    EXPECT_EQ(Routes().aiIndex[34], 12);
    EXPECT_EQ(Routes().bIndexDirty, 1);
    EXPECT_EQ(Counters().lDriverMessagesSent, 5);
}

TEST_F(Take, DebugLinesOfATake)
{
    Route(34, 3);
    mSource[3] = "1,2,6";
    Mask(1, "AUDIO");
    Mask(2, "VIDEO,3");
    SetDebugMode(1);
    RC("RC 201 12 34 'VIDEO' 7");
    std::vector<std::string> asExpected = {
        "<GR>-Requesting contents of previous source package slot 3\n",
        "<GR>-1,2,6\n",
        "<GR>-Requesting contents of source package slot 12\n",
        "<GR>-5,7,9,1,Camera 1\n",
        "<GR>-Requesting contents of dest package slot 34\n",
        "<GR>-20,21,30,4,12\n",
        "<GR>-Requesting contents of level map slot 34\n",
        "<GR>-" + Identity() + "\n",
        "<GR>-sMask[1].acName = AUDIO (mask = VIDEO)\n",
        "<GR>-sMask[2].acName = VIDEO (mask = VIDEO)\n",
        "<GR>-VIDEO\n",
        "<GR>-Scan 1 : 5 20 -1\n",
        "<GR>-Scan 2 : 7 21 -1\n",
        "<GR>-Scan 3 : 9 30 1\n",
        "<GR>-NORMAL\n",
        "<GR>-RC 103 30 9 ',---' 7\n",
        "<GR>-Scan 4 : 1 4 -1\n",
    };
    std::vector<std::string> asDebug = DebugCapture::Take();
    ASSERT_GE(asDebug.size(), asExpected.size());
    asDebug.resize(asExpected.size());
    EXPECT_EQ(asDebug, asExpected);
}

TEST_F(Take, ReverseRouteParksThePreviousSourcesValue)
{
    Route(34, 3);
    mSource[3] = "1,2,6";
    mSource[12] = "5,7,0,1,Camera 1";
    RC("RC 201 12 34 ',3' 7");
    EXPECT_EQ(asReads, (std::vector<std::string>{"src 3", "src 12", "dest 34", "map 34"}));
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{{2124, 103, "RC 103 0 6 ',---' 7"}, {2187, 0, "RR 201 034 012"}}));
}

// The previous source package is read for every package of the tables,
// 4096 included, so that its reverse route is parked; beyond them nothing is
// read and nothing is parked.
TEST_F(Take, PreviousSourcePackageIsReadUpTo4096)
{
    mSource[4096] = mSource[4097] = "1,2,6";
    mSource[12] = "5,7,0";
    struct {
        int iPrevious;
        std::vector<std::string> asReads;
        std::vector<AtRvx> aSent;
    } aCase[] = {
        {4096, {"src 4096", "src 12", "dest 34", "map 34"},
         {{2124, 103, "RC 103 0 6 ',---' 7"}, {2187, 0, "RR 201 034 012"}}},
        {4097, {"src 12", "dest 34", "map 34"}, {{2187, 0, "RR 201 034 012"}}},
    };
    for (const auto& c : aCase) {
        Route(34, c.iPrevious);
        asReads.clear();
        aAtRvx.clear();
        RC("RC 201 12 34 ',3' 7");
        EXPECT_EQ(asReads, c.asReads) << c.iPrevious;
        EXPECT_EQ(aAtRvx, c.aSent) << c.iPrevious;
    }
}

TEST_F(Take, RefusedTakesReadAndSendNothing)
{
    iSources = 100;
    iDests = 200;
    LoadProfile();
    Lock(35);
    const char* apCommand[] = {
        "RC 201 12 35 ',1,2,3,4,5' 7",    // locked destination
        "RC 202 12 34 ',1,2,3,4,5' 7",    // another device
        "RC 201 12 34 ',1,2,3,4,5' 8",    // workstation without access
        "RC 201 12 34 ',1,2,3,4,5' 1001", // workstation outside the table
        "RC 201 0 34 ',1,2,3,4,5' 7",     // source out of range
        "RC 201 101 34 ',1,2,3,4,5' 7",
        "RC 201 12 0 ',1,2,3,4,5' 7",     // destination out of range
        "RC 201 12 201 ',1,2,3,4,5' 7",
        "RC 201 12 34 ',1,2,3,4,5'",      // fewer than five fields
        "RC 201 12 34 ',1,2,3,4,5' ",     // empty workstation field: not the panel's 0
        "RC 201 12 34 ',1,2,3,4,5' ''",
        "RC 201 12 34 ',1,2,3,4,5' x",    // workstation not a number
        "RC 201 12 34 ',1,2,3,4,5' 7x",
        "RC 201 12",
        "RC",
    };
    for (const char* p : apCommand) {
        EXPECT_EQ(RC(p), 1) << p;
        EXPECT_TRUE(asReads.empty()) << p;
        EXPECT_TRUE(aAtRvx.empty()) << p;
        EXPECT_EQ(Routes().aiIndex[34], 0) << p;
        EXPECT_EQ(Routes().aiIndex[35], 0) << p;
        EXPECT_EQ(Routes().bIndexDirty, 0) << p;
        EXPECT_EQ(Counters().lDriverMessagesSent, 0) << p;
    }
}

// A journal that cannot be written (a folder where DEV_201.LOG belongs, or
// the file held by another program that lets nobody write it) stops at its
// first line and says so once, whatever DebugMode says; the takes go on.
TEST_F(Take, JournalThatCannotBeWrittenStopsOnceAndTakesGoOn)
{
    const std::string sLog = sConfigDir + "\\DEV_201.LOG";
    for (int iWay = 0; iWay < 2; ++iWay) {
        LoadProfile();   // closes the journal of the earlier takes and starts it afresh
        DeleteFileA(sLog.c_str());
        HANDLE hHeld = INVALID_HANDLE_VALUE;
        if (iWay == 0) {
            ASSERT_TRUE(CreateDirectoryA(sLog.c_str(), nullptr));
        } else {
            hHeld = CreateFileA(sLog.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
        }
        aAtRvx.clear();
        DebugCapture::Take();
        for (int iTake = 0; iTake < 2; ++iTake) {
            char acCommand[] = "RC 201 12 34 ',1,2,3,4,5' 7";
            DispatchCommand(acCommand);
        }
        std::vector<AtRvx> aTwice = kWorkedExample;
        aTwice.insert(aTwice.end(), kWorkedExample.begin(), kWorkedExample.end());
        EXPECT_EQ(aAtRvx, aTwice) << iWay;
        EXPECT_EQ(DebugCapture::Take(), std::vector<std::string>{"<GR>-Take journal stopped - cannot open '" + sLog +
                                                                  "': takes go on without it\n"})
            << iWay;
        if (iWay == 0) RemoveDirectoryA(sLog.c_str());
        else CloseHandle(hHeld);
    }
}

TEST_F(Take, ReceiveOnlySendsNothingButUpdatesTheIndex)
{
    SetTxRx(kRxOnly);
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(asReads.size(), 3u);
    EXPECT_TRUE(aAtRvx.empty());
    EXPECT_EQ(Counters().lDriverMessagesSent, 0);
    EXPECT_EQ(Routes().aiIndex[34], 12);
    EXPECT_EQ(Routes().bIndexDirty, 1);
}

TEST_F(Take, RevertiveLevelOutsideTheMaskLeavesTheIndex)
{
    iRevertiveLevel = 2;
    LoadProfile();
    Route(34, 9);
    RC("RC 201 12 34 ',1,3' 7");
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{kWorkedExample[0], kWorkedExample[2]}));
    EXPECT_EQ(Routes().aiIndex[34], 9);
    EXPECT_EQ(Routes().bIndexDirty, 0);

    // A mask name that includes level 2 moves the index.
    Mask(3, "VIDEO,2");
    aAtRvx.clear();
    RC("RC 201 12 34 'VIDEO' 7");
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{kWorkedExample[1], kWorkedExample[5]}));
    EXPECT_EQ(Routes().aiIndex[34], 12);
    EXPECT_EQ(Routes().bIndexDirty, 1);
}

TEST_F(Take, FilterThatTakesEverythingOver)
{
    hLibrary = LoadLibraryA("take_filter_test.dll");
    ASSERT_NE(hLibrary, nullptr);
    UseExternalLibrary(hLibrary);
    SetFilterModeFn pSetMode = reinterpret_cast<SetFilterModeFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(hLibrary, "SetFilterMode")));
    FilterCallsFn pCalls = reinterpret_cast<FilterCallsFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(hLibrary, "FilterCalls")));
    ASSERT_TRUE(pSetMode && pCalls);

    // Level 1 has destination 0: the checks would stop it, the filter counts it.
    mDest[34] = "0,21,30,4,12";
    pSetMode(1);
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(pCalls(), 5);
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{kWorkedExample[5]}));
    EXPECT_EQ(Counters().lDriverMessagesSent, 5);
    EXPECT_EQ(Routes().aiIndex[34], 12);

    // A filter that declines sends the text as it left it; the checks apply.
    pSetMode(2);
    aAtRvx.clear();
    ResetCounters();
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(pCalls(), 5);
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{{2124, 102, "rC 102 7 21 ',---' 7"},
                                             {2124, 103, "rC 103 30 9 ',---' 7"},
                                             {2134, 104, "gS 104 4 1 7"},
                                             {2144, 105, "iW 105 'Camera 1' 12 7"},
                                             kWorkedExample[5]}));
    EXPECT_EQ(Counters().lDriverMessagesSent, 4);

    // Receive-only: the filter is not asked.
    pSetMode(1);
    SetTxRx(kRxOnly);
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(pCalls(), 0);
}

TEST_F(Take, LibraryWithoutTheFilterSendsNormally)
{
    hLibrary = LoadLibraryA("kernel32.dll");
    UseExternalLibrary(hLibrary);
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(aAtRvx, kWorkedExample);
}

TEST_F(Take, LongPackageTextIsCutTo256Characters)
{
    Level(1, 1, 3, 105);
    mSource[12] = std::string(300, 'x');
    mDest[34] = "12";
    RC("RC 201 12 34 ',1' 0");
    ASSERT_EQ(aAtRvx.size(), 2u);
    EXPECT_EQ(aAtRvx[0], (AtRvx{2144, 105, "IW 105 '" + std::string(256, 'x') + "' 12 0"}));
}

// No take depends on an earlier one: a level beyond the end of the
// destination's level map slot maps to the blank entry and sends nothing,
// whatever an earlier take onto another destination mapped it to.
TEST_F(Take, LevelBeyondTheLevelMapSlotOwesNothingToAnEarlierTake)
{
    Level(9, 1, 1, 109);
    mSource[12] = "1,2,3,4,5,6,7,8,9";
    mDest[33] = mDest[34] = "11,12,13,14,15,16,17,18,19";
    mMap[33] = Identity();
    mMap[34] = "1,2,3,0,0,0,0,0";
    RC("RC 201 12 33 ',9' 7");
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{{2124, 109, "RC 109 9 19 ',---' 7"}, {2187, 0, "RR 201 033 012"}}));
    aAtRvx.clear();
    RC("RC 201 12 34 ',9' 7");
    EXPECT_EQ(aAtRvx, (std::vector<AtRvx>{{2187, 0, "RR 201 034 012"}}));
}

}  // namespace
