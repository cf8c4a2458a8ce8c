// The package take against in-process peers on another thread: three
// InfoDrivers answering slot reads from tables, and an RVX that records the
// level commands and revertives it receives.
#include "core/take.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/routes.h"
#include "ipc/infolink.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"

namespace {

struct Received {
    int iMessage;
    int iValue;
    std::string text;
    bool operator==(const Received& o) const { return iMessage == o.iMessage && iValue == o.iValue && text == o.text; }
};
std::ostream& operator<<(std::ostream& os, const Received& r)
{
    return os << r.iMessage << "/" << r.iValue << " \"" << r.text << "\"";
}

// Written by the peer thread while the driver thread waits in its send.
std::vector<Received> aAtRvx;
std::vector<std::string> asReads;    // "src 12", "dest 34", "map 34"
std::map<int, std::string> mSource, mDest, mMap;

HWND hPeerRvx = nullptr, hPeerSource = nullptr, hPeerDest = nullptr, hPeerMap = nullptr;
HWND hSelf = nullptr;
HANDLE hPeersReady = nullptr;
DWORD dwDriverThread = 0;

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

HWND MakeWindow(const char* pClass, const char* pTitle, WNDPROC pProc)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = pProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = pClass;
    RegisterClassA(&wc);
    return CreateWindowA(pClass, pTitle, 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
}

std::string Identity()
{
    std::string s;
    for (int i = 1; i <= 32; ++i) s += (i > 1 ? "," : "") + std::to_string(i);
    return s;
}

// The driver's debug lines, caught in this process: OutputDebugStringA
// raises DBG_PRINTEXCEPTION_C with the text, which a vectored handler sees
// before the default handling goes on.
std::vector<std::string> asDebug;

LONG CALLBACK CatchDebugText(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
    if (pRecord->ExceptionCode == DBG_PRINTEXCEPTION_C && pRecord->NumberParameters >= 2
        && GetCurrentThreadId() == dwDriverThread) {
        asDebug.push_back(reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

typedef void(__cdecl* SetFilterModeFn)(int);
typedef int(__cdecl* FilterCallsFn)();

class Take : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hPeersReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        peers = std::thread([] {
            hPeerRvx = MakeWindow("TakeRvx", "rvx", RvxProc);
            hPeerSource = MakeWindow("TakeInfo", "source", InfoProc);
            hPeerDest = MakeWindow("TakeInfo", "dest", InfoProc);
            hPeerMap = MakeWindow("TakeInfo", "map", InfoProc);
            SetEvent(hPeersReady);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
            DestroyWindow(hPeerRvx);
            DestroyWindow(hPeerSource);
            DestroyWindow(hPeerDest);
            DestroyWindow(hPeerMap);
        });
        WaitForSingleObject(hPeersReady, 10000);
        hSelf = MakeWindow("TakeSelf", "driver", SelfProc);
        dwDriverThread = GetCurrentThreadId();
        pCatcher = AddVectoredExceptionHandler(1, CatchDebugText);
    }
    static void TearDownTestSuite()
    {
        PostMessageA(hPeerSource, WM_CLOSE, 0, 0);
        peers.join();
        DestroyWindow(hSelf);
        RemoveVectoredExceptionHandler(pCatcher);
    }
    static std::thread peers;
    static void* pCatcher;

    void SetUp() override
    {
        iDevice = 201;
        DatabaseSize_0 = 4096;
        DatabaseSize_1 = 4096;
        std::memset(abAccess, 0, sizeof abAccess);
        abAccess[0] = abAccess[7] = 1;
        std::memset(sLevel, 0, sizeof sLevel);
        std::memset(sMask, 0, sizeof sMask);
        Level(1, 1, 1, 101);
        Level(2, 1, 1, 102);
        Level(3, 2, 1, 103);
        Level(4, 1, 2, 104);
        Level(5, 1, 3, 105);
        RevertiveLevel = 0;
        std::memset(aiIndex, 0, sizeof aiIndex);
        std::memset(abLock, 0, sizeof abLock);
        bIndexDirty = 0;
        lDriverMessagesSent = 0;
        iTxRx = 2;
        hWndMain = hSelf;
        hWndRvx = hPeerRvx;
        hWndSrcePkgInfo = hPeerSource;
        hWndDestPkgInfo = hPeerDest;
        hWndLevelMapInfo = hPeerMap;
        hExternalDll = nullptr;
        mSource.clear();
        mDest.clear();
        mMap.clear();
        mSource[12] = "5,7,9,1,Camera 1";
        mDest[34] = "20,21,30,4,12";
        mMap[34] = Identity();
        aAtRvx.clear();
        asReads.clear();
        asDebug.clear();
        DebugMode = 0;
    }
    void TearDown() override
    {
        if (hExternalDll) FreeLibrary(hExternalDll);
        hExternalDll = nullptr;
    }
    static void Level(int L, int iType, int iKind, int iTarget)
    {
        sLevel[L].iType = iType;
        sLevel[L].iKind = iKind;
        sLevel[L].iTarget = iTarget;
    }
    static int RC(const char* pCommand)
    {
        char acCommand[128];
        std::snprintf(acCommand, sizeof acCommand, "%s", pCommand);
        return CommandRC(acCommand);
    }
};
std::thread Take::peers;
void* Take::pCatcher = nullptr;

const std::vector<Received> kWorkedExample = {
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
    EXPECT_EQ(aiIndex[34], 12);
    EXPECT_EQ(bIndexDirty, 1);
    EXPECT_EQ(lDriverMessagesSent, 5);
}

TEST_F(Take, DebugLinesOfATake)
{
    DebugMode = 1;
    aiIndex[34] = 3;
    mSource[3] = "1,2,6";
    std::strcpy(sMask[1].acName, "AUDIO");
    std::strcpy(sMask[2].acName, "VIDEO");
    for (int L = 1; L <= 32; ++L) sMask[2].aiLevels[L] = L == 3 ? 1 : -1;
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
    ASSERT_GE(asDebug.size(), asExpected.size());
    asDebug.resize(asExpected.size());
    EXPECT_EQ(asDebug, asExpected);
}

TEST_F(Take, ReverseRouteParksThePreviousSourcesValue)
{
    aiIndex[34] = 3;
    mSource[3] = "1,2,6";
    mSource[12] = "5,7,0,1,Camera 1";
    RC("RC 201 12 34 ',3' 7");
    EXPECT_EQ(asReads, (std::vector<std::string>{"src 3", "src 12", "dest 34", "map 34"}));
    EXPECT_EQ(aAtRvx, (std::vector<Received>{{2124, 103, "RC 103 0 6 ',---' 7"}, {2187, 0, "RR 201 034 012"}}));
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
        std::vector<Received> aSent;
    } aCase[] = {
        {4096, {"src 4096", "src 12", "dest 34", "map 34"},
         {{2124, 103, "RC 103 0 6 ',---' 7"}, {2187, 0, "RR 201 034 012"}}},
        {4097, {"src 12", "dest 34", "map 34"}, {{2187, 0, "RR 201 034 012"}}},
    };
    for (const auto& c : aCase) {
        aiIndex[34] = c.iPrevious;
        asReads.clear();
        aAtRvx.clear();
        RC("RC 201 12 34 ',3' 7");
        EXPECT_EQ(asReads, c.asReads) << c.iPrevious;
        EXPECT_EQ(aAtRvx, c.aSent) << c.iPrevious;
    }
}

TEST_F(Take, RefusedTakesReadAndSendNothing)
{
    DatabaseSize_0 = 100;
    DatabaseSize_1 = 200;
    abLock[35] = 1;
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
        EXPECT_EQ(aiIndex[34], 0) << p;
        EXPECT_EQ(aiIndex[35], 0) << p;
        EXPECT_EQ(bIndexDirty, 0) << p;
        EXPECT_EQ(lDriverMessagesSent, 0) << p;
    }
}

TEST_F(Take, ReceiveOnlySendsNothingButUpdatesTheIndex)
{
    iTxRx = 1;
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(asReads.size(), 3u);
    EXPECT_TRUE(aAtRvx.empty());
    EXPECT_EQ(lDriverMessagesSent, 0);
    EXPECT_EQ(aiIndex[34], 12);
    EXPECT_EQ(bIndexDirty, 1);
}

TEST_F(Take, RevertiveLevelOutsideTheMaskLeavesTheIndex)
{
    RevertiveLevel = 2;
    aiIndex[34] = 9;
    RC("RC 201 12 34 ',1,3' 7");
    EXPECT_EQ(aAtRvx, (std::vector<Received>{kWorkedExample[0], kWorkedExample[2]}));
    EXPECT_EQ(aiIndex[34], 9);
    EXPECT_EQ(bIndexDirty, 0);

    // A mask name that includes level 2 moves the index.
    std::strcpy(sMask[3].acName, "VIDEO");
    for (int L = 1; L <= 32; ++L) sMask[3].aiLevels[L] = L == 2 ? 1 : -1;
    aAtRvx.clear();
    RC("RC 201 12 34 'VIDEO' 7");
    EXPECT_EQ(aAtRvx, (std::vector<Received>{kWorkedExample[1], kWorkedExample[5]}));
    EXPECT_EQ(aiIndex[34], 12);
    EXPECT_EQ(bIndexDirty, 1);
}

TEST_F(Take, FilterThatTakesEverythingOver)
{
    hExternalDll = LoadLibraryA("take_filter_test.dll");
    ASSERT_NE(hExternalDll, nullptr);
    SetFilterModeFn pSetMode = reinterpret_cast<SetFilterModeFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(hExternalDll, "SetFilterMode")));
    FilterCallsFn pCalls = reinterpret_cast<FilterCallsFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(hExternalDll, "FilterCalls")));
    ASSERT_TRUE(pSetMode && pCalls);

    // Level 1 has destination 0: the checks would stop it, the filter counts it.
    mDest[34] = "0,21,30,4,12";
    pSetMode(1);
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(pCalls(), 5);
    EXPECT_EQ(aAtRvx, (std::vector<Received>{kWorkedExample[5]}));
    EXPECT_EQ(lDriverMessagesSent, 5);
    EXPECT_EQ(aiIndex[34], 12);

    // A filter that declines sends the text as it left it; the checks apply.
    pSetMode(2);
    aAtRvx.clear();
    lDriverMessagesSent = 0;
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(pCalls(), 5);
    EXPECT_EQ(aAtRvx, (std::vector<Received>{{2124, 102, "rC 102 7 21 ',---' 7"},
                                             {2124, 103, "rC 103 30 9 ',---' 7"},
                                             {2134, 104, "gS 104 4 1 7"},
                                             {2144, 105, "iW 105 'Camera 1' 12 7"},
                                             kWorkedExample[5]}));
    EXPECT_EQ(lDriverMessagesSent, 4);

    // Receive-only: the filter is not asked.
    pSetMode(1);
    iTxRx = 1;
    RC("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_EQ(pCalls(), 0);
}

TEST_F(Take, LibraryWithoutTheFilterSendsNormally)
{
    hExternalDll = LoadLibraryA("kernel32.dll");
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
    EXPECT_EQ(aAtRvx[0], (Received{2144, 105, "IW 105 '" + std::string(256, 'x') + "' 12 0"}));
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
    EXPECT_EQ(aAtRvx, (std::vector<Received>{{2124, 109, "RC 109 9 19 ',---' 7"}, {2187, 0, "RR 201 033 012"}}));
    aAtRvx.clear();
    RC("RC 201 12 34 ',9' 7");
    EXPECT_EQ(aAtRvx, (std::vector<Received>{{2187, 0, "RR 201 034 012"}}));
}

}  // namespace
