// The package take with real processes: zur.exe 201, the stand-in RVX and
// three stand-in InfoDrivers. Every check reads what crossed the wire from
// the stand-ins' records: the level commands RVX received (message, value,
// text, order) and the revertive that closes each take.
#include "tests/support/driver_fixture.h"
#include "tests/support/take_cases.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>


namespace {

using TakeProcess = DriverFixture;

// The lines of the site's take journal DEV_201.LOG for commands, each
// without its time stamp ("2026-12-08 14:03:07.412 "); the lines of the
// driver's own life ("  ** start | ...") are left out.
std::vector<std::string> JournalEntries(const DriverSite& site)
{
    std::vector<std::string> asEntry;
    for (const std::string& sLine : ReadLines(SiteFile(&site, "DEV_201.LOG"))) {
        EXPECT_TRUE(sLine.size() > 24 && sLine[4] == '-' && sLine[10] == ' ' && sLine[19] == '.' && sLine[23] == ' ')
            << sLine;
        if (sLine.compare(24, 5, "  ** ") == 0) continue;
        asEntry.push_back(sLine.size() > 24 ? sLine.substr(24) : sLine);
    }
    return asEntry;
}

// The worked example, byte for byte, then the same take with source package
// 13, which carries 0 on the reverse level 3 after package 11 (6 on level 3)
// had been routed: level 3 parks instead.
TEST_F(TakeProcess, WorkedExampleAndItsParkVariant)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 1, "ExternalDLL=NONE\n", kTakeLevels));
    StartAll("11 5,7,6,1,Camera 1\n12 5,7,9,1,Camera 1\n13 5,7,0,1,Camera 1\n", "34 20,21,30,4,12\n", "");

    int iInfoFrom[3];
    for (int i = 0; i < 3; ++i) iInfoFrom[i] = LineCount(site.asInfoLog[i]);
    std::vector<std::string> asSent = CommandUntil("RC 201 12 34 ',1,2,3,4,5' 7", "RR 201 034 012");
    EXPECT_EQ(asSent, kWorkedExampleSent) << Joined(asSent);
    // The journal, handed to the file at the end of the take: the command
    // with its verdict, then each level command as it was sent.
    std::vector<std::string> asJournal = JournalEntries(site);
    const std::vector<std::string> asJournalExpected = {
        "ws 7 accepted | RC 201 12 34 ',1,2,3,4,5' 7",   "  sent 2124 to 101 | RC 101 5 20 ',---' 7",
        "  sent 2124 to 102 | RC 102 7 21 ',---' 7",     "  sent 2124 to 103 | RC 103 30 9 ',---' 7",
        "  sent 2134 to 104 | GS 104 4 1 7",             "  sent 2144 to 105 | IW 105 'Camera 1' 12 7"};
    EXPECT_EQ(asJournal, asJournalExpected) << Joined(asJournal);
    // The slots it read: no previous source package (34 was unrouted), then
    // the source package, the destination package and its level map.
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[0], iInfoFrom[0], {MSG_INFO_SLOT_READ}).size(), 1u);
    EXPECT_GE(WaitForLine(site.asInfoLog[0], {"INFO301 <- 2727", "value=12 "}, 0, iInfoFrom[0]), 0);
    EXPECT_GE(WaitForLine(site.asInfoLog[1], {"INFO302 <- 2727", "value=34 "}, 0, iInfoFrom[1]), 0);
    EXPECT_GE(WaitForLine(site.asInfoLog[2], {"INFO303 <- 2727", "value=34 ",
                                              "reply=\"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,"
                                              "23,24,25,26,27,28,29,30,31,32\""},
                          0, iInfoFrom[2]),
              0);
    // The debug lines of the take, in their order.
    std::vector<std::string> asDebug = DebugLines(site.driver.dwPid);
    int iPrev = -1;
    for (const char* pLine : {"<GR>-Requesting contents of source package slot 12", "<GR>-5,7,9,1,Camera 1",
                              "<GR>-Requesting contents of dest package slot 34",
                              "<GR>-Requesting contents of level map slot 34", "<GR>-Scan 1 : 5 20 1",
                              "<GR>-Scan 3 : 9 30 1", "<GR>-NORMAL", "<GR>-RC 103 30 9 ',---' 7",
                              "<GR>-Scan 6 : -1 -1 -1", "<GR>-Scan 32 : -1 -1 -1"}) {
        int iLine = WaitForDebugLine(site.driver.dwPid, {pLine}, 2000, iPrev + 1);
        EXPECT_GT(iLine, iPrev) << pLine;
        if (iLine > iPrev) iPrev = iLine;
    }
    EXPECT_EQ(WaitForDebugLine(site.driver.dwPid, {"previous source package"}, 0), -1);

    // Package 11 routed with no level, then 13: the previous source package
    // is read first, and level 3 parks the destination that 11 used.
    CommandUntil("RC 201 11 34 ',---' 0", "RR 201 034 011");
    iInfoFrom[0] = LineCount(site.asInfoLog[0]);
    asSent = CommandUntil("RC 201 13 34 ',1,2,3,4,5' 7", "RR 201 034 013");
    EXPECT_EQ(asSent, kParkVariantSent) << Joined(asSent);
    std::vector<std::string> asRead = ReceivedTexts(site.asInfoLog[0], iInfoFrom[0], {MSG_INFO_SLOT_READ});
    ASSERT_EQ(asRead.size(), 2u);
    EXPECT_EQ(asRead[0].substr(0, 8), "2727 11 ");
    EXPECT_EQ(asRead[1].substr(0, 8), "2727 13 ");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Requesting contents of previous source package slot 11"}, 0),
              0);
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-PARK"}, 0), 0);
}

TEST_F(TakeProcess, LevelStepTableRowByRow)
{
    const int nCase = static_cast<int>(sizeof kTakeSteps / sizeof kTakeSteps[0]);
    std::string asSlots[3];
    for (int k = 0; k < nCase; ++k) {
        const TakeStepCase& c = kTakeSteps[k];
        if (c.pPrev != nullptr) asSlots[0] += std::to_string(40 + k) + " " + c.pPrev + "\n";
        asSlots[0] += std::to_string(80 + k) + " " + c.pSrc + "\n";
        asSlots[1] += std::to_string(40 + k) + " " + c.pDst + "\n";
        if (c.pMap != nullptr) asSlots[2] += std::to_string(40 + k) + " " + c.pMap + "\n";
    }
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    StartAll(asSlots[0], asSlots[1], asSlots[2]);

    for (int k = 0; k < nCase; ++k) {
        const TakeStepCase& c = kTakeSteps[k];
        SCOPED_TRACE(c.pName);
        int iDest = 40 + k;
        char acRevertive[32];
        if (c.pPrev != nullptr) {
            std::snprintf(acRevertive, sizeof acRevertive, "RR 201 %03d %03d", iDest, iDest);
            CommandUntil("RC 201 " + std::to_string(iDest) + " " + std::to_string(iDest) + " ',---' 0", acRevertive);
        }
        std::snprintf(acRevertive, sizeof acRevertive, "RR 201 %03d %03d", iDest, 80 + k);
        std::vector<std::string> asSent = CommandUntil(
            "RC 201 " + std::to_string(80 + k) + " " + std::to_string(iDest) + " '" + c.pMask + "' 7", acRevertive);
        std::vector<std::string> asExpected = c.asSent;
        asExpected.push_back(Revertive(iDest, 80 + k));
        EXPECT_EQ(asSent, asExpected) << Joined(asSent);
    }
}

// Takes that fail a check read nothing and answer nothing; receive-only
// reads and records but sends nothing; InfoDriver messages are forwarded to
// the InfoDriver they name.
TEST_F(TakeProcess, RefusedReceiveOnlyAndForwardedWrites)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 1, "ExternalDLL=NONE\n", kTakeLevels));
    StartAll("12 5,7,9,1,Camera 1\n160 5\n", "35 20,21,30,4,12\n160 20\n", "");

    int iRvxFrom = LineCount(site.sRvxLog);
    int iInfoFrom = LineCount(site.asInfoLog[0]);
    for (const char* pText : {"RC 202 12 35 ',1' 7", "RC 201 0 35 ',1' 7", "RC 201 161 35 ',1' 7",
                              "RC 201 12 0 ',1' 7", "RC 201 12 161 ',1' 7", "RC 201 12 35 ',1' 1001"}) {
        Command(pText);
    }
    Fence();
    std::vector<std::string> asSent = ReceivedTexts(site.sRvxLog, iRvxFrom, kRvxTexts);
    EXPECT_EQ(asSent, std::vector<std::string>{"2187 901 RR 201 001 000"}) << Joined(asSent);
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[0], iInfoFrom, {MSG_INFO_SLOT_READ}).size(), 0u);
    // The journal names the check that refused each one.
    std::vector<std::string> asJournal = JournalEntries(site);
    const std::vector<std::string> asJournalExpected = {
        "ws 7 refused (device) | RC 202 12 35 ',1' 7",     "ws 7 refused (range) | RC 201 0 35 ',1' 7",
        "ws 7 refused (range) | RC 201 161 35 ',1' 7",     "ws 7 refused (range) | RC 201 12 0 ',1' 7",
        "ws 7 refused (range) | RC 201 12 161 ',1' 7",     "ws 1001 refused (access) | RC 201 12 35 ',1' 1001",
        "ws 901 accepted | RP 201 1 1 901"};
    EXPECT_EQ(asJournal, asJournalExpected) << Joined(asJournal);
    // The last packages of each database are takes like any other.
    asSent = CommandUntil("RC 201 160 160 ',1' 7", "RR 201 160 160");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2187 0 RR 201 160 160"}));
    // A command far longer than 127 characters is taken whole: its level
    // command carries the workstation that ends it.
    asSent = CommandUntil("RC 201 160 160 ',1'" + std::string(150, ' ') + "7", "RR 201 160 160");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2187 0 RR 201 160 160"}));

    // Receive-only (2190): the slots are read and the index changes, but
    // RVX gets neither level commands nor the revertive.
    Plain(MSG_RX_ONLY_ORDER, 0, 201);
    iRvxFrom = LineCount(site.sRvxLog);
    iInfoFrom = LineCount(site.asInfoLog[1]);
    int iDebugFrom = static_cast<int>(DebugLines(site.driver.dwPid).size());
    Command("RC 201 12 35 ',1,2,3,4,5' 7");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Scan 32 "}, 10000, iDebugFrom), 0);
    EXPECT_GE(WaitForLine(site.asInfoLog[1], {"INFO302 <- 2727", "value=35 "}, 0, iInfoFrom), 0);
    Command("RP 201 35 35 0");
    Command("RQ 201 35 35 0");
    PumpFor(500);
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iRvxFrom, kRvxTexts).size(), 0u);
    // Back to TX/RX (2180): the route made while receive-only stands.
    EXPECT_EQ(Plain(MSG_TXRX_ORDER, 0, 201), 1u);
    asSent = CommandUntil("RP 201 35 35 0", "RR 201 035 012");
    EXPECT_EQ(asSent, std::vector<std::string>{"2187 0 RR 201 035 012"});

    // InfoDriver messages (2730): an "IW" text goes to the InfoDriver of
    // that device only, with the slot number as value and the text without
    // its quotes; only the second letter is looked at.
    int aiFrom[3];
    for (int i = 0; i < 3; ++i) aiFrom[i] = LineCount(site.asInfoLog[i]);
    for (const char* pText : {"IX 301 'not a write' 19", "IW 302 'a b' 17 0", "XW 301 'x' 18", "IW 999 'nobody' 5"}) {
        EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_INFO_MESSAGE, 0, pText), 1) << pText;
    }
    EXPECT_GE(WaitForLine(site.asInfoLog[1], {"INFO302 <- 2726", "value=17 text=\"a b\""}, 10000, aiFrom[1]), 0);
    EXPECT_GE(WaitForLine(site.asInfoLog[0], {"INFO301 <- 2726", "value=18 text=\"x\""}, 10000, aiFrom[0]), 0);
    PumpFor(300);
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[0], aiFrom[0], {MSG_INFO_SLOT_WRITE}).size(), 1u);
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[1], aiFrom[1], {MSG_INFO_SLOT_WRITE}).size(), 1u);
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[2], aiFrom[2], {MSG_INFO_SLOT_WRITE}).size(), 0u);
    // The written slot is what the next take reads: destination package 17
    // now holds "a b", which gives no level a value.
    asSent = CommandUntil("RC 201 12 17 ',1' 7", "RR 201 017 012");
    EXPECT_EQ(asSent, std::vector<std::string>{"2187 0 RR 201 017 012"});
    EXPECT_GE(WaitForLine(site.asInfoLog[1], {"INFO302 <- 2727", "value=17 ", "reply=\"a b\""}, 0, aiFrom[1]), 0);
    // A write longer than 127 characters reaches its own slot whole.
    const std::string sLong(115, 'x');
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_INFO_MESSAGE, 0, ("IW 302 '" + sLong + "' 4095 0").c_str()), 1);
    EXPECT_GE(WaitForLine(site.asInfoLog[1], {"INFO302 <- 2726", "value=4095 text=\"" + sLong + "\""}, 10000,
                          aiFrom[1]),
              0);

    DWORD dwExit = 99;
    EXPECT_TRUE(CloseSiteDriver(&site, &dwExit));
    EXPECT_EQ(dwExit, 0u);
}

// The external filter and RevertiveLevel 2. ExternalDLL holds at most 31
// characters, so the profile names the example filter by its file name: the
// library beside zur.exe, which in its default mode takes over "GS" commands.
TEST_F(TakeProcess, FilterAndRevertiveLevel)
{
    std::string sFilterLog = TempFile("filter", "log");
    site.asTemp.push_back(sFilterLog);
    ASSERT_TRUE(
        WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=zurfilter.dll\nRevertiveLevel=2\n", kTakeLevels));
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n35 20,21,30,0,12\n", "",
             {"ZUR_FILTER_LOG=" + sFilterLog, "ZUR_FILTER_MODE="});

    // Level 2 is part of the take: the index changes and the revertive goes.
    std::vector<std::string> asSent = CommandUntil("RC 201 12 34 ',1,2,3,4,5' 7", "RR 201 034 012");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2124 102 RC 102 7 21 ',---' 7",
                                                 "2124 103 RC 103 30 9 ',---' 7", "2144 105 IW 105 'Camera 1' 12 7",
                                                 "2187 0 RR 201 034 012"}))
        << Joined(asSent);
    // Level 2 left out: the level commands go, the index and the revertive
    // stay. The switch of level 4 (destination value 0) would be stopped by
    // the checks, but the filter sees it first and takes it over.
    // RVX's texts are counted from before the take: its first level command
    // may be recorded before the fence goes out.
    int iTakeFrom = LineCount(site.sRvxLog);
    Command("RC 201 12 35 ',1,3,4' 7");
    ++iFence;
    CommandUntil("RP 201 35 35 " + std::to_string(iFence), "RR 201 035 000");
    asSent = ReceivedTexts(site.sRvxLog, iTakeFrom, kRvxTexts);
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2124 103 RC 103 30 9 ',---' 7",
                                                 "2187 " + std::to_string(iFence) + " RR 201 035 000"}))
        << Joined(asSent);
    std::vector<std::string> asFilter = ReadLines(sFilterLog);
    EXPECT_EQ(asFilter, (std::vector<std::string>{"gs 0 RC 101 5 20 ',---' 7", "gs 0 RC 102 7 21 ',---' 7",
                                                   "gs 0 RC 103 30 9 ',---' 7", "gs 1 GS 104 4 1 7",
                                                   "gs 0 IW 105 'Camera 1' 12 7", "gs 0 RC 101 5 20 ',---' 7",
                                                   "gs 0 RC 103 30 9 ',---' 7", "gs 1 GS 104 0 1 7"}))
        << Joined(asFilter);
    // Receive-only: nothing reaches the filter either.
    Plain(MSG_RX_ONLY_ORDER, 0, 201);
    int iRead = LineCount(site.asInfoLog[2]);
    Command("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_GE(WaitForLine(site.asInfoLog[2], {"INFO303 <- 2727", "value=34 "}, 10000, iRead), 0);
    PumpFor(300);
    EXPECT_EQ(Plain(MSG_TXRX_ORDER, 0, 201), 1u);
    Fence();
    EXPECT_EQ(ReadLines(sFilterLog).size(), asFilter.size());
}

// The destination package InfoDriver is not running: its box, then the
// driver ends in order; the level map InfoDriver is never looked for.
TEST_F(TakeProcess, MissingInfoDriverShowsItsBoxAndShutsDown)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    ASSERT_TRUE(StartSiteRvx(&site));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 0));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 2));
    ASSERT_TRUE(StartSiteDriver(&site));
    DWORD dwExit = 99;
    std::string sFailure;
    std::vector<std::string> asBox = BoxesUntilExit(&site, &dwExit, &sFailure);
    EXPECT_EQ(sFailure, "");
    EXPECT_EQ(dwExit, 0u);
    ASSERT_EQ(asBox.size(), 1u);
    EXPECT_EQ(asBox[0],
              "Unable to connect to Destination Package InfoDriver 302.  Ensure that the InfoDriver you are trying "
              "to connect to is actually running then restart this application.");
    PumpFor(300);
    EXPECT_EQ(CountLines(site.asInfoLog[0], {"INFO301 <- 2725"}), 1);
    EXPECT_EQ(CountLines(site.asInfoLog[2], {"<- 2724", "lparam=33071"}), 0);
    EXPECT_EQ(CountLines(site.asInfoLog[2], {"<- 2724", "lparam=33070"}), 1);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2186 unregister"}), 1);
    EXPECT_TRUE(FileExists(SiteFile(&site, "DEV_201.DAT")));
    EXPECT_TRUE(FileExists(SiteFile(&site, "DEV_201.LCK")));
}

// Lines of the RVX record after its first "<- 2186" that carry a level
// command or a revertive: a driver must send none once it has unregistered.
int SentAfterUnregister(const std::string& sRvxLog)
{
    std::vector<std::string> asLine = ReadLines(sRvxLog);
    int nAfter = 0;
    bool bUnregistered = false;
    for (const std::string& sLine : asLine) {
        if (sLine.find("RVX <- 2186") != std::string::npos) bUnregistered = true;
        if (!bUnregistered) continue;
        for (const char* pMsg : {"RVX <- 2124", "RVX <- 2134", "RVX <- 2144", "RVX <- 2187", "RVX <- 2188"}) {
            if (sLine.find(pMsg) != std::string::npos) ++nAfter;
        }
    }
    return nAfter;
}

// The route of destination d in the index file (0: unrouted, -1: no file).
int RouteInFile(const DriverSite& site, int d)
{
    std::string sData = ReadBinaryFile(SiteFile(&site, "DEV_201.DAT"));
    if (sData.size() < static_cast<size_t>(2 * d)) return -1;
    return (static_cast<unsigned char>(sData[2 * d - 2]) << 8) | static_cast<unsigned char>(sData[2 * d - 1]);
}

// A close request while a take waits on a slow InfoDriver (4 s per read)
// takes effect once the take has finished: the take's level commands and
// its revertive go out, then the unlink and the unregister, once, and the
// index file holds the route.
TEST_F(TakeProcess, CloseDuringASlowTakeWaitsForTheTake)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    asInfoMore[1] = "--answer-delay 4000";
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n", "");
    Command("RC 201 12 34 ',1,2,3,4,5' 7");
    PumpFor(1500);
    DWORD_PTR dwResult = 99;
    EXPECT_NE(SendMessageTimeoutA(hDriver, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 20000, &dwResult), 0);
    EXPECT_EQ(dwResult, 0u);
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitForExit(site.driver.hProcess, 30000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2124"}), 3);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2187", "RR 201 034 012"}), 1);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2186"}), 1);
    EXPECT_EQ(SentAfterUnregister(site.sRvxLog), 0);
    EXPECT_EQ(RouteInFile(site, 34), 12);
}

// An InfoDriver stuck in its handler is given up after the time limit: the
// take that waited on it is abandoned (nothing sent, nothing recorded, the
// InfoDriver named in the log), the command queued behind it is answered,
// and WM_CLOSE ends the driver although the InfoDriver still hangs.
TEST_F(TakeProcess, HungInfoDriverIsGivenUp)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 1, "ExternalDLL=NONE\n", kTakeLevels));
    asInfoMore[1] = "--answer-delay 60000";
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n", "");
    Command("RC 201 12 34 ',1,2,3,4,5' 7");
    Command("RP 201 5 5 0");
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2187", "RR 201 005 000"}, 40000), 0);
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Take abandoned - InfoDriver 302 did not answer the read of "
                                                   "slot 34"}, 0), 0);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2124"}), 0);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RR 201 034"}), 0);
    DWORD_PTR dwResult = 99;
    EXPECT_NE(SendMessageTimeoutA(hDriver, WM_CLOSE, 0, 0, SMTO_NORMAL, 30000, &dwResult), 0);
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitForExit(site.driver.hProcess, 30000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2186"}), 1);
    EXPECT_EQ(RouteInFile(site, 34), 0);
}

// RVX stops taking messages right after the first level command of the
// worked example: the second is given up after the time limit (the request
// is withdrawn, RVX never handles it). The take stops there: no further
// level command, no revertive, the index keeps destination 34 unrouted, and
// the journal names the command that was not delivered.
TEST_F(TakeProcess, TakeStopsAtTheFirstLevelCommandRvxDoesNotTake)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 1, "ExternalDLL=NONE\n", kTakeLevels));
    sRvxMore = "-e \"expect 2124 60s\" -e \"stall 14s\"";
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n", "");
    int iFrom = LineCount(site.sRvxLog);
    Command("RC 201 12 34 ',1,2,3,4,5' 7");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Take stopped - RVX did not take RC 102 7 21 ',---' 7"},
                               30000),
              0);
    PumpFor(2500);
    // The panel's output (refreshed at most a few times a second) shows
    // what really went out.
    HWND hPanel = FindWindowExA(hDriver, nullptr, "BORDLG", nullptr);
    ASSERT_NE(hPanel, nullptr);
    EXPECT_EQ(ListEntries(GetDlgItem(hPanel, IDC_OUTPUT)), std::vector<std::string>{"RC 101 5 20 ',---' 7"});
    CommandUntil("RP 201 34 34 0", "RR 201 034 000");
    std::vector<std::string> asSent = ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts);
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2187 0 RR 201 034 000"}))
        << Joined(asSent);
    const std::vector<std::string> asJournalExpected = {
        "ws 7 accepted | RC 201 12 34 ',1,2,3,4,5' 7", "  sent 2124 to 101 | RC 101 5 20 ',---' 7",
        "  not delivered 2124 to 102 | RC 102 7 21 ',---' 7", "ws 0 accepted | RP 201 34 34 0"};
    std::vector<std::string> asJournal = JournalEntries(site);
    EXPECT_EQ(asJournal, asJournalExpected) << Joined(asJournal);
    DWORD dwExit = 99;
    ASSERT_TRUE(CloseSiteDriver(&site, &dwExit));
    EXPECT_EQ(RouteInFile(site, 34), 0);
}

// The last line of a record that holds every part, "" when none does.
std::string LastLineWith(const std::string& sLog, const std::vector<std::string>& asParts)
{
    std::string sLast;
    for (const std::string& sLine : ReadLines(sLog)) {
        bool bAll = true;
        for (const std::string& sPart : asParts) bAll = bAll && sLine.find(sPart) != std::string::npos;
        if (bAll) sLast = sLine;
    }
    return sLast;
}

// Receive-only (2190) arrives 0.3 s into a take, inside a slow slot read,
// TX/RX again (2180) after it: the take started while transmitting, so all five level
// commands and its revertive go out; the changes take effect after it, in
// the order they came.
TEST_F(TakeProcess, StateChangeDuringATakeTakesEffectAfterIt)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    asInfoMore[1] = "--answer-delay 1000";
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n", "");
    int iFrom = LineCount(site.sRvxLog);
    Command("RC 201 12 34 ',1,2,3,4,5' 7");
    PumpFor(300);
    Plain(MSG_RX_ONLY_ORDER, 0, 201);
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2187", "RR 201 034 012"}, 20000, iFrom), 0);
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts), kWorkedExampleSent)
        << Joined(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts));
    // Receive-only now: a take records but sends nothing.
    for (int i = 0; i < 3; ++i) EXPECT_GE(WaitForLine(site.asInfoLog[i], {"<- 2733", "wparam=1"}, 5000), 0) << i;
    iFrom = LineCount(site.sRvxLog);
    Command("RC 201 12 35 ',1' 7");
    EXPECT_EQ(Plain(MSG_TXRX_ORDER, 0, 201), 1u);
    std::vector<std::string> asSent = CommandUntil("RP 201 35 35 0", "RR 201 035 012");
    EXPECT_EQ(asSent, std::vector<std::string>{"2187 0 RR 201 035 012"}) << Joined(asSent);
}

// A take that waits in the queue behind a slow one when an RX-only order
// arrives runs under the state it arrived in: its level commands and
// revertive go (the partner driver, receive-only when it took the take,
// recorded it without sending). A take after the order is not sent.
TEST_F(TakeProcess, QueuedTakeRunsUnderTheStateItArrivedIn)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    asInfoMore[1] = "--answer-delay 1000";
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n35 20,21,30,4,12\n", "");
    int iFrom = LineCount(site.sRvxLog);
    Command("RC 201 12 34 ',1' 7");
    Command("RC 201 12 35 ',1' 8");
    PumpFor(300);
    Plain(MSG_RX_ONLY_ORDER, 0, 201);
    Command("RC 201 12 36 ',1' 9");
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2187", "RR 201 035 012"}, 20000, iFrom), 0);
    for (int i = 0; i < 3; ++i) EXPECT_GE(WaitForLine(site.asInfoLog[i], {"<- 2733", "wparam=1"}, 10000), 0) << i;
    PumpFor(2500);
    std::vector<std::string> asSent = ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts);
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2187 0 RR 201 034 012",
                                                "2124 101 RC 101 5 20 ',---' 8", "2187 0 RR 201 035 012"}))
        << Joined(asSent);
}

// A network status to RX only (TXRX=1) arrives inside a slow slot read, an
// order to TX/RX (2180) 0.35 s later: they are carried out in that order
// after the take, so the driver ends transmitting, and the last 2733 each
// InfoDriver got, RVX's last 2215 and the NS answer all say so in turn.
TEST_F(TakeProcess, NestedStateChangesEndInTheirOrder)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    asInfoMore[1] = "--answer-delay 1500";
    StartAll("12 5,7,9,1,Camera 1\n", "34 20,21,30,4,12\n35 20,21,30,4,12\n", "");
    int iFrom = LineCount(site.sRvxLog);
    Command("RC 201 12 34 ',1,2,3,4,5' 7");
    PumpFor(400);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_NETWORK_STATUS, 0, "NS 5 1 'TXRX=1' a b c"), 1);
    PumpFor(350);
    EXPECT_EQ(Plain(MSG_TXRX_ORDER, 0, 201), 1u);
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2187", "RR 201 034 012"}, 20000, iFrom), 0);
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts), kWorkedExampleSent);
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2215", "wparam=3"}, 10000, iFrom), 0);
    Fence();
    EXPECT_NE(LastLineWith(site.sRvxLog, {"RVX <- 2215"}).find("wparam=3 "), std::string::npos)
        << LastLineWith(site.sRvxLog, {"RVX <- 2215"});
    EXPECT_NE(LastLineWith(site.sRvxLog, {"RVX <- 2123"}).find("TXRX=1"), std::string::npos);
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(WaitForLine(site.asInfoLog[i], {"<- 2733", "wparam=1"}, 0), 0) << i;
        EXPECT_NE(LastLineWith(site.asInfoLog[i], {"<- 2733"}).find("wparam=3"), std::string::npos) << i;
    }
    std::vector<std::string> asSent = CommandUntil("RC 201 12 35 ',1' 7", "RR 201 035 012");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2187 0 RR 201 035 012"}))
        << Joined(asSent);
}

// InfoDriver 301 stops taking messages after the first read: the read of
// the second take is given up and withdrawn (301 never handles it). Once
// 301 takes messages again, the next take's read gets its own answer, not
// taken for the late answer of the withdrawn one. A reply that no request
// waits for is dropped and named.
TEST_F(TakeProcess, AnswerAfterAWithdrawnReadIsTheReadersOwn)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=2\nDatabaseSize_1=2\n", 1, "ExternalDLL=NONE\n",
                                 "[Levels]\nLevel_01=F,R,101\n"));
    asInfoMore[0] = "-e \"expect 2727 \\\"value=1 \\\" 60s\" -e \"stall 14s\"";
    StartAll("1 101\n2 102\n", "1 1001\n2 1002\n", "1 1\n2 1\n");
    CommandUntil("RC 201 1 1 ',1' 7", "RR 201 001 001");
    Command("RC 201 1 2 ',1' 7");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Take abandoned - InfoDriver 301 did not answer the read of "
                                                   "slot 1"}, 30000),
              0);
    PumpFor(2500);
    std::vector<std::string> asSent = CommandUntil("RC 201 2 2 ',1' 7", "RR 201 002 002");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 102 1002 ',---' 7", "2187 0 RR 201 002 002"}))
        << Joined(asSent);
    EXPECT_EQ(CountLines(site.asInfoLog[0], {"INFO301 <- 2727", "value=1 "}), 1);
    EXPECT_GE(WaitForLine(site.asInfoLog[0], {"INFO301 <- 2727", "value=2 ", "reply=\"102\""}, 0), 0);

    int iDebugFrom = static_cast<int>(DebugLines(site.driver.dwPid).size());
    SendCopyText(hPeer, hDriver, MSG_TRANSPORT_REPLY, 0, "stray");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"with no request outstanding - dropped"}, 5000, iDebugFrom), 0);
    // The driver drains its queue only on the 2049 it posts itself.
    EXPECT_EQ(Plain(MSG_COMMAND_QUEUED, 0, 0), 0u);
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Message 2049 sent by another program - ignored"}, 5000,
                               iDebugFrom),
              0);
    Fence();
}

// InfoDriver 301 answers out of order: it works on the read of the first
// take so long that the driver gives it up, and meanwhile answers, from
// inside that handler, the sync and the read of the second take. Its late
// answer to the first read ("101") then arrives while the third take's
// read of slot 2 waits behind it: the third take carries its own "102".
TEST_F(TakeProcess, OutOfOrderAnswerStaysWithItsOwnRead)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=2\nDatabaseSize_1=2\n", 1, "ExternalDLL=NONE\n",
                                 "[Levels]\nLevel_01=F,R,101\n"));
    asInfoMore[0] = "-e \"expect 2732 60s\" -e \"set late-answer 2\"";
    StartAll("1 101\n2 102\n", "1 1001\n2 1002\n", "1 1\n2 1\n");
    Command("RC 201 1 1 ',1' 7");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Take abandoned - InfoDriver 301 did not answer the read of "
                                                   "slot 1"}, 30000),
              0);
    CommandUntil("RC 201 2 2 ',1' 7", "RR 201 002 002");
    std::vector<std::string> asSent = CommandUntil("RC 201 2 1 ',1' 7", "RR 201 001 002");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 102 1001 ',---' 7", "2187 0 RR 201 001 002"}))
        << Joined(asSent);
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Late reply from 0x", "dropped"}, 5000), 0);
}

// A leftover second InfoDriver 301 that answers the driver's request late,
// while the driver asks for 302, is not linked as 302: every answer is
// confirmed by asking its window alone for that InfoDriver. The slow 302
// is linked, and takes read their destination package from it.
TEST_F(TakeProcess, LateDuplicateInfoDriverIsNotLinkedAsTheNextOne)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=2\nDatabaseSize_1=2\n", 1, "ExternalDLL=NONE\n",
                                 "[Levels]\nLevel_01=F,R,101\n"));
    ASSERT_TRUE(StartSiteRvx(&site));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 0, "1 101\n"));
    // The duplicate serves the same packages as the first 301: which of the
    // two is linked as 301 depends on the order the broadcast meets their
    // windows, and either is right; neither may be linked as 302.
    std::string sDuplicateSlots = TempFile("slots", "txt");
    site.asTemp.push_back(sDuplicateSlots);
    ASSERT_TRUE(WriteTextFile(sDuplicateSlots, "1 101\n"));
    StartedProcess duplicate =
        StartProgram("infosim.exe", "301 --quiet --attach-delay 6000 --slots \"" + sDuplicateSlots + "\"");
    ASSERT_NE(WaitForWindow("InfoSim", "InfoDriver 301", duplicate.dwPid, 20000), nullptr);
    ASSERT_TRUE(StartSiteInfoDriver(&site, 1, "1 1001\n", "--attach-delay 9000"));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 2, "1 1\n"));
    ASSERT_TRUE(StartDebugCapture());
    ASSERT_TRUE(StartSiteDriver(&site));
    hDriver = SiteDriverWindow(&site);
    ASSERT_NE(hDriver, nullptr);
    EXPECT_TRUE(SiteStartedUp(&site));
    hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    // The duplicate is named: as an answer for 302 that was not confirmed
    // or, when it answered in time, as a second 301.
    EXPECT_TRUE(
        WaitForDebugLine(site.driver.dwPid, {"<GR>-An answer for InfoDriver 302 ", "not confirmed - not linked"}, 5000) >=
            0 ||
        WaitForDebugLine(site.driver.dwPid, {"<GR>-A second InfoDriver 301 answered"}, 0) >= 0);
    std::vector<std::string> asSent = CommandUntil("RC 201 1 1 ',1' 7", "RR 201 001 001");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 101 1001 ',---' 7", "2187 0 RR 201 001 001"}))
        << Joined(asSent);
    EndProcess(&duplicate);
}

// InfoDriver 302 ends: the next take is abandoned and the journal says why.
// A new 302 that announces itself (an unasked 2729) is confirmed and linked
// again at the next take, which goes out whole.
TEST_F(TakeProcess, RestartedInfoDriverIsLinkedAgain)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=2\nDatabaseSize_1=2\n", 1, "ExternalDLL=NONE\n",
                                 "[Levels]\nLevel_01=F,R,101\n"));
    StartAll("1 101\n2 102\n", "1 1001\n2 1002\n", "1 1\n2 1\n");
    CommandUntil("RC 201 1 1 ',1' 7", "RR 201 001 001");
    EndProcess(&site.info[1]);
    Command("RC 201 2 2 ',1' 7");
    Fence();
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Destination package InfoDriver 302 has gone"}, 0), 0);
    ASSERT_TRUE(StartSiteInfoDriver(&site, 1, "1 1001\n2 1002\n", "-e \"find-driver 10\" -e \"plain 2729 self 0\""));
    EXPECT_GE(WaitForLine(site.asInfoLog[1], {"-> 2729"}, 10000), 0);
    std::vector<std::string> asSent = CommandUntil("RC 201 2 2 ',1' 7", "RR 201 002 002");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 102 1002 ',---' 7", "2187 0 RR 201 002 002"}))
        << Joined(asSent);
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Destination package InfoDriver 302 linked again"}, 0), 0);
    std::vector<std::string> asJournal = JournalEntries(site);
    const std::vector<std::string> asJournalExpected = {
        "ws 7 accepted | RC 201 1 1 ',1' 7",
        "  sent 2124 to 101 | RC 101 101 1001 ',---' 7",
        "ws 7 accepted | RC 201 2 2 ',1' 7",
        "  InfoDriver 302 has gone - not found again",
        "  take abandoned - InfoDriver 302 did not answer the read of slot 2",
        "ws 901 accepted | RP 201 1 1 901",
        "ws 7 accepted | RC 201 2 2 ',1' 7",
        "  InfoDriver 302 linked again",
        "  sent 2124 to 101 | RC 101 102 1002 ',---' 7"};
    EXPECT_EQ(asJournal, asJournalExpected) << Joined(asJournal);
}

// InfoDriver 302 ends and a new one starts without announcing itself. A
// take soon after is abandoned without a look (the last look was less than
// 30 s ago, and a look holds up the driver); once 30 s have passed, the
// next take looks again, links the new 302 and goes out whole.
TEST_F(TakeProcess, SilentlyRestartedInfoDriverIsFoundByTheNextLookAfter30Seconds)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=2\nDatabaseSize_1=2\n", 1, "ExternalDLL=NONE\n",
                                 "[Levels]\nLevel_01=F,R,101\n"));
    StartAll("1 101\n2 102\n", "1 1001\n2 1002\n", "1 1\n2 1\n");
    CommandUntil("RC 201 1 1 ',1' 7", "RR 201 001 001");
    EndProcess(&site.info[1]);
    Command("RC 201 2 2 ',1' 7");
    Fence();
    DWORD dwLooked = GetTickCount();
    ASSERT_TRUE(StartSiteInfoDriver(&site, 1, "1 1001\n2 1002\n"));
    Command("RC 201 2 2 ',1' 7");
    Fence();
    EXPECT_EQ(CountLines(site.asInfoLog[1], {"<- 2724"}), 0);
    EXPECT_EQ(CountLines(site.sRvxLog, {"RVX <- 2124", "RC 101 102 1002"}), 0);
    DWORD dwWaited = GetTickCount() - dwLooked;
    if (dwWaited < 31000) PumpFor(31000 - dwWaited);
    std::vector<std::string> asSent = CommandUntil("RC 201 2 2 ',1' 7", "RR 201 002 002");
    EXPECT_EQ(asSent, (std::vector<std::string>{"2124 101 RC 101 102 1002 ',---' 7", "2187 0 RR 201 002 002"}))
        << Joined(asSent);
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Destination package InfoDriver 302 linked again"}, 0), 0);
}

// A name change (2174) that arrives while a take waits for a slow
// InfoDriver is handled inside that wait and asks RVX for the name (2164),
// which RVX answers late. The InfoDriver answers the slot read while the
// name request is still outstanding: its answer is the read's, so the take
// goes out whole, and the name request gets RVX's answer.
TEST_F(TakeProcess, SlotReadAnsweredWhileANestedRequestWaits)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=2\nDatabaseSize_1=2\n", 1, "ExternalDLL=NONE\n",
                                 "[Levels]\nLevel_01=F,R,101\n"));
    asInfoMore[0] = "--answer-delay 300";
    sRvxMore = "--answer-delay 600";
    StartAll("1 101\n", "1 1001\n", "1 1\n");
    int iFrom = LineCount(site.sRvxLog);
    Command("RC 201 1 1 ',1' 7");
    PumpFor(100);
    Plain(MSG_NAME_CHANGED, 0, 1);
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2187", "RR 201 001 001"}, 20000, iFrom), 0);
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, {MSG_ROUTE_COMMAND}),
              std::vector<std::string>({"2124 101 RC 101 101 1001 ',---' 7"}));
    EXPECT_GE(WaitForLine(site.sRvxLog, {"RVX <- 2164", "index=1 "}, 0, iFrom), 0);
    EXPECT_LT(WaitForDebugLine(site.driver.dwPid, {"Take abandoned"}, 0), 0);
    DWORD dwExit = 99;
    ASSERT_TRUE(CloseSiteDriver(&site, &dwExit));
    EXPECT_EQ(RouteInFile(site, 1), 1);
}

}  // namespace
