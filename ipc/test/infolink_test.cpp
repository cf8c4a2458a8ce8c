// The links to the three InfoDrivers, against InfoDriver processes that log
// what they receive: connect and its failure boxes, disconnect, slot reads,
// the level-map defaults, forwarded writes and the TX/RX state.
#include "ipc/infolink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "app/startup.h"
#include "config/profile.h"
#include "core/log.h"
#include "ipc/work_state.h"
#include "ipc/intake.h"
#include "tests/host/test_host.h"
#include "app/test_support.h"
#include "ipc/test_support.h"

namespace {

const int kSrce = 200, kDest = 201, kLevelMap = 202;
const int kAbsent = 987;   // no InfoDriver has this number
const int kPeers = 3;
const int aiPeerDevice[kPeers] = {kSrce, kDest, kLevelMap};

const char* const kDefaultMap = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32";
const std::string sLongSlot = "9," + std::string(300, 'x');

PROCESS_INFORMATION api[kPeers];
HWND ahPeer[kPeers];
std::string asLog[kPeers];
size_t anSeen[kPeers];

// Lines a peer logged since the last call for it.
std::vector<std::string> NewLines(int iPeer)
{
    std::vector<unsigned char> acBytes;
    ReadFileBytes(asLog[iPeer], &acBytes);
    std::vector<std::string> asLines;
    std::istringstream in(std::string(acBytes.begin(), acBytes.end()));
    std::string sLine;
    size_t n = 0;
    while (std::getline(in, sLine)) {
        if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
        if (n++ >= anSeen[iPeer]) asLines.push_back(sLine);
    }
    anSeen[iPeer] = n;
    return asLines;
}

void ForgetLines()
{
    for (int i = 0; i < kPeers; ++i) NewLines(i);
}

std::string Connect(int iDeviceNumber)
{
    return "2724 " + std::to_string(iDeviceNumber | 0x8000);
}

// Runs ConnectInfoDrivers and the start-up's report of its answer while
// another thread reads and presses the error box that shows; returns the
// box's text ("" when none came) and the link that failed in *piFailed.
std::string ConnectExpectingBox(int* piFailed)
{
    std::string sText;
    std::atomic<bool> bDone(false);
    std::thread presser([&] {
        for (int i = 0; i < 1000 && !bDone; ++i) {
            HWND hBox = FindWindowA("#32770", "! Error !");
            if (hBox != nullptr) {
                char acText[512] = {};
                GetWindowTextA(GetDlgItem(hBox, 0xFFFF), acText, sizeof acText);
                sText = acText;
                PostMessageA(hBox, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    });
    *piFailed = ConnectInfoDrivers(StartupStopped);
    ReportInfoLinks(*piFailed);
    bDone = true;
    presser.join();
    PumpFor(50);   // drains the quit request of the shut-down
    return sText;
}

class InfoDriverLinks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CreateHostWindow();
        sDir = UseTempConfigDir(100);
        for (int i = 0; i < kPeers; ++i) {
            ahPeer[i] = nullptr;
            anSeen[i] = 0;
        }
        char acExe[MAX_PATH];
        GetModuleFileNameA(nullptr, acExe, sizeof acExe);
        std::string sHelper(acExe);
        sHelper = sHelper.substr(0, sHelper.find_last_of('\\') + 1) + "infopeer_test_helper.exe";
        const std::string asExtra[kPeers] = {
            "--state=1",
            "--state=2",
            "--state=1 --mangle 1=5 2=1, 4=" + sLongSlot + " 7=,",
        };
        for (int i = 0; i < kPeers; ++i) {
            asLog[i] = sDir + "\\peer" + std::to_string(aiPeerDevice[i]) + ".log";
            std::string sCommand = "\"" + sHelper + "\" " + std::to_string(aiPeerDevice[i]) + " \"" + asLog[i] +
                                   "\" " + asExtra[i];
            std::vector<char> acCommand(sCommand.begin(), sCommand.end());
            acCommand.push_back('\0');
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            ASSERT_TRUE(CreateProcessA(nullptr, acCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &si, &api[i]));
        }
        for (int i = 0; i < kPeers; ++i) {
            std::string sTitle = "infopeer " + std::to_string(aiPeerDevice[i]);
            for (int iTry = 0; iTry < 500 && ahPeer[i] == nullptr; ++iTry) {
                ahPeer[i] = FindWindowA("ZurTestInfoPeer", sTitle.c_str());
                if (ahPeer[i] == nullptr) PumpFor(20);
            }
            ASSERT_NE(ahPeer[i], nullptr) << sTitle;
        }
    }
    static void TearDownTestSuite()
    {
        for (int i = 0; i < kPeers; ++i) {
            TerminateProcess(api[i].hProcess, 0);
            WaitForSingleObject(api[i].hProcess, 10000);
            CloseHandle(api[i].hThread);
            CloseHandle(api[i].hProcess);
        }
        DestroyWindow(hWndMain);
    }
    void SetUp() override
    {
        ResetDriverForTest();
        LoadIds(kSrce, kDest, kLevelMap);
        UseInfoLinks(ahPeer[0], ahPeer[1], ahPeer[2]);
        ForgetLines();
    }
    // The profile names the three InfoDrivers; the debug lines can be
    // followed with WINEDEBUG=+debugstr.
    static void LoadIds(int iSrce, int iDest, int iLevelMap)
    {
        LoadTestProfile(sDir, "[Combiner]\nSrcePkgInfoId=" + std::to_string(iSrce) + "\nDestPkgInfoId=" +
                                  std::to_string(iDest) + "\nLevelMapInfoId=" + std::to_string(iLevelMap) +
                                  "\nDebugMode=1\n");
    }
    static std::string sDir;
};
std::string InfoDriverLinks::sDir;

}  // namespace

TEST_F(InfoDriverLinks, ConnectLinksAllThreeAndFillsTheLevelMapWithOneDefault)
{
    UseInfoLinks(nullptr, nullptr, nullptr);
    EXPECT_EQ(ConnectInfoDrivers(StartupStopped), kAllLinked);
    EXPECT_EQ(Links().hWndSrcePkgInfo, ahPeer[0]);
    EXPECT_EQ(Links().hWndDestPkgInfo, ahPeer[1]);
    EXPECT_EQ(Links().hWndLevelMapInfo, ahPeer[2]);
    EXPECT_FALSE(IsClosing());

    // Each link is confirmed: its InfoDriver is asked alone once more.
    std::vector<std::string> asSrce = NewLines(0);
    EXPECT_EQ(asSrce, (std::vector<std::string>{Connect(kSrce), Connect(kSrce), Connect(kDest), Connect(kLevelMap)}));

    // Slots 2, 4 and 7 hold a comma and are kept; every other slot, the one
    // holding "5" and the empty ones, gets the same default, although this
    // InfoDriver answers each default write with another text.
    std::vector<std::string> asMap = NewLines(2);
    ASSERT_EQ(asMap.size(), 4u + 4096u - 3u);
    EXPECT_EQ(asMap[0], Connect(kSrce));
    EXPECT_EQ(asMap[2], Connect(kLevelMap));
    EXPECT_EQ(asMap[3], Connect(kLevelMap));
    EXPECT_EQ(asMap[4], std::string("2731 1 ") + kDefaultMap);
    EXPECT_EQ(asMap[5], std::string("2731 3 ") + kDefaultMap);
    EXPECT_EQ(asMap[6], std::string("2731 5 ") + kDefaultMap);
    EXPECT_EQ(asMap.back(), std::string("2731 4096 ") + kDefaultMap);
    for (size_t i = 4; i < asMap.size(); ++i) {
        ASSERT_EQ(asMap[i].substr(asMap[i].find(' ', 5) + 1), kDefaultMap) << asMap[i];
    }
    char acSlot[256];
    ReadInfoSlot(Links().hWndLevelMapInfo, 2, acSlot, sizeof acSlot);
    EXPECT_STREQ(acSlot, "1,");
}

struct MissingLink {
    int iFailing;
    const char* pText;
};

class InfoDriverLinksMissing : public InfoDriverLinks, public ::testing::WithParamInterface<MissingLink> {};

TEST_P(InfoDriverLinksMissing, MissingInfoDriverShowsItsBoxAndStopsTheConnect)
{
    const MissingLink& c = GetParam();
    UseInfoLinks(nullptr, nullptr, nullptr);
    int aiId[kPeers] = {kSrce, kDest, kLevelMap};
    aiId[c.iFailing] = kAbsent;
    LoadIds(aiId[0], aiId[1], aiId[2]);
    int iFailed = kAllLinked;
    EXPECT_EQ(ConnectExpectingBox(&iFailed), c.pText);
    EXPECT_EQ(iFailed, c.iFailing);
    EXPECT_TRUE(IsClosing());
    HWND ahLink[kPeers] = {Links().hWndSrcePkgInfo, Links().hWndDestPkgInfo, Links().hWndLevelMapInfo};
    for (int i = 0; i < kPeers; ++i) {
        EXPECT_EQ(ahLink[i], i < c.iFailing ? ahPeer[i] : nullptr) << c.iFailing << " " << i;
    }
    // The broadcasts stop at the failing link; no level-map work follows.
    // Each InfoDriver linked is asked alone once more to confirm it.
    for (int iPeer : {0, 2}) {
        std::vector<std::string> asExpected;
        for (int i = 0; i <= c.iFailing; ++i) {
            asExpected.push_back(Connect(aiId[i]));
            if (i == iPeer && i < c.iFailing) asExpected.push_back(Connect(aiId[i]));
        }
        EXPECT_EQ(NewLines(iPeer), asExpected) << iPeer;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, InfoDriverLinksMissing,
    ::testing::Values(
        MissingLink{0, "Unable to connect to Source Package InfoDriver 987.  Ensure that the InfoDriver you are trying "
                       "to connect to is actually running then restart this application."},
        MissingLink{1, "Unable to connect to Destination Package InfoDriver 987.  Ensure that the InfoDriver you are "
                       "trying to connect to is actually running then restart this application."},
        MissingLink{2, "Unable to connect to destination level mapping InfoDriver 987.  Ensure that the InfoDriver "
                       "you are trying to connect to is actually running then restart this application."}),
    [](const ::testing::TestParamInfo<MissingLink>& info) { return "Link" + std::to_string(info.param.iFailing); });

TEST_F(InfoDriverLinks, ConnectDoesNothingOnceClosing)
{
    // The start-up's stop check, once shut-down has begun.
    EXPECT_EQ(ConnectInfoDrivers([] { return true; }), kAllLinked);
    for (int i = 0; i < kPeers; ++i) EXPECT_TRUE(NewLines(i).empty());
    EXPECT_EQ(Links().hWndSrcePkgInfo, ahPeer[0]);
}

TEST_F(InfoDriverLinks, DisconnectUnlinksOnlyLinkedInfoDrivers)
{
    UseInfoLinks(ahPeer[0], nullptr, ahPeer[2]);
    DisconnectInfoDrivers();
    EXPECT_EQ(NewLines(0), std::vector<std::string>{"2725 self 200"});
    EXPECT_TRUE(NewLines(1).empty());
    EXPECT_EQ(NewLines(2), std::vector<std::string>{"2725 self 202"});
    EXPECT_EQ(Links().hWndSrcePkgInfo, nullptr);
    EXPECT_EQ(Links().hWndDestPkgInfo, nullptr);
    EXPECT_EQ(Links().hWndLevelMapInfo, nullptr);
    DisconnectInfoDrivers();
    for (int i = 0; i < kPeers; ++i) EXPECT_TRUE(NewLines(i).empty());
}

TEST_F(InfoDriverLinks, SlotReadKeepsATerminatedTextAndNothingFromNobody)
{
    char acSlot[256];
    std::memset(acSlot, '#', sizeof acSlot);
    ReadInfoSlot(Links().hWndLevelMapInfo, 4, acSlot, sizeof acSlot);
    EXPECT_EQ(std::string(acSlot), sLongSlot.substr(0, 255));

    ReadInfoSlot(Links().hWndLevelMapInfo, 2, acSlot, sizeof acSlot);
    EXPECT_STREQ(acSlot, "1,");
    ReadInfoSlot(nullptr, 2, acSlot, sizeof acSlot);
    EXPECT_STREQ(acSlot, "");
}

TEST_F(InfoDriverLinks, WritesAreForwardedByDeviceNumber)
{
    EXPECT_EQ(ForwardInfoWrite("IW 201 'a b' 17 0"), 0);
    EXPECT_EQ(NewLines(1), std::vector<std::string>{"2726 17 a b"});
    ForwardInfoWrite("XW 201 'c' 18");   // only the second letter counts
    EXPECT_EQ(NewLines(1), std::vector<std::string>{"2726 18 c"});
    for (const char* pText : {"IX 201 'a' 17", "IW 201 'a'", "IW 999 'a' 17", "W", ""}) ForwardInfoWrite(pText);
    for (int i = 0; i < kPeers; ++i) EXPECT_TRUE(NewLines(i).empty()) << i;

    // One device number in two roles receives the write twice.
    LoadIds(kDest, kDest, kLevelMap);
    UseInfoLinks(ahPeer[1], ahPeer[1], ahPeer[2]);
    ForwardInfoWrite("IW 201 'twice' 5");
    EXPECT_EQ(NewLines(1), (std::vector<std::string>{"2726 5 twice", "2726 5 twice"}));
}

TEST_F(InfoDriverLinks, StateFollowsTheDriverAndIsSetOnlyWhenItDiffers)
{
    BringInfoDriversToState(2);
    EXPECT_EQ(NewLines(0), (std::vector<std::string>{"2732", "2733 3"}));
    EXPECT_EQ(NewLines(1), std::vector<std::string>{"2732"});
    EXPECT_EQ(NewLines(2), (std::vector<std::string>{"2732", "2733 3"}));

    BringInfoDriversToState(1);
    for (int i = 0; i < kPeers; ++i) EXPECT_EQ(NewLines(i), (std::vector<std::string>{"2732", "2733 1"})) << i;
    UseInfoLinks(ahPeer[0], nullptr, ahPeer[2]);
    BringInfoDriversToState(0);
    EXPECT_EQ(NewLines(0), std::vector<std::string>{"2732"});
    EXPECT_TRUE(NewLines(1).empty());
}
