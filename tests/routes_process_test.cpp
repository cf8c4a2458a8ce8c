// Route index, locks and revertives with real processes: the revertives of
// "RF", "RP", "RQ" and message 2177 as the stand-in RVX receives them, locks
// refusing takes, and both files carrying routes and locks across a restart.
#include "tests/support/driver_fixture.h"

#include <string>
#include <vector>

namespace {

using RoutesProcess = DriverFixture;

// Every destination 1..16 with its revertive value and message, for sweeps.
std::vector<std::string> Sweep(int iMessage, int iValue, const int* aiIndex, int iFirst, int iLast)
{
    std::vector<std::string> as;
    for (int d = iFirst; d <= iLast; ++d) {
        char ac[64];
        int iMarked = iMessage == MSG_REVERTIVE_SERIES && d == iLast ? (iValue | 0x8000) : iValue;
        std::snprintf(ac, sizeof ac, "%d %d RR 201 %03d %03d", iMessage, iMarked, d, aiIndex[d]);
        as.push_back(ac);
    }
    return as;
}

TEST_F(RoutesProcess, RevertivesLocksAndRestart)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n"));
    StartAll("7 5\n12 5\n", "", "");

    // Routes: 7 onto 3 and 16, 12 onto 5 (no level: only the index moves).
    int aiIndex[17] = {};
    for (int d : {3, 16, 5}) {
        aiIndex[d] = d == 5 ? 12 : 7;
        char ac[32];
        std::snprintf(ac, sizeof ac, "RR 201 %03d %03d", d, aiIndex[d]);
        CommandUntil("RC 201 " + std::to_string(aiIndex[d]) + " " + std::to_string(d) + " ',---' 0", ac);
    }
    // Runs the commands, then a fence, and compares what RVX received.
    auto Check = [&](const std::vector<std::string>& asCommand, std::vector<std::string> asExpected) {
        int iFrom = LineCount(site.sRvxLog);
        for (const std::string& s : asCommand) Command(s);
        Fence();
        asExpected.push_back("2187 " + std::to_string(iFence) + " RR 201 001 000");
        std::vector<std::string> asSent = ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts);
        EXPECT_EQ(asSent, asExpected) << asCommand[0] << "\n" << Joined(asSent);
    };

    // "RP": ranges cut at the database size; empty or out-of-range ones
    // send nothing.
    Check({"RP 201 5 3 0", "RP 201 17 17 0", "RP 201 0 2 0", "RP 202 3 3 0"}, {});
    Check({"RP 201 14 99 4"}, Sweep(MSG_REVERTIVE, 4, aiIndex, 14, 16));
    Check({"RP 201 3 3 9"}, {"2187 9 RR 201 003 007"});
    // "RQ": message 2188, the last of the range marked with 0x8000.
    Check({"RQ 201 1 3 12"}, {"2188 12 RR 201 001 000", "2188 12 RR 201 002 000", "2188 32780 RR 201 003 007"});
    Check({"RQ 201 5 5 3"}, {"2188 32771 RR 201 005 012"});
    Check({"RQ 201 15 40 1"}, Sweep(MSG_REVERTIVE_SERIES, 1, aiIndex, 15, 16));
    Check({"RQ 201 5 3 3", "RQ 201 17 20 3"}, {});
    // "RF": every destination, with the workstation as value.
    Check({"RF 201 9"}, Sweep(MSG_REVERTIVE, 9, aiIndex, 1, 16));
    Check({"RF 202 9"}, {});

    // 2177: all destinations; after 2174 and with second parameter 2, those
    // routed from the named package, ascending, including the last one.
    auto Refresh = [&](LPARAM lChanged, WPARAM wDevice, LPARAM lMode, const std::vector<std::string>& asExpected) {
        int iFrom = LineCount(site.sRvxLog);
        if (lChanged >= 0) Plain(MSG_NAME_CHANGED, 0, lChanged);
        Plain(MSG_REVERTIVE_REFRESH, wDevice, lMode);
        Fence();
        std::vector<std::string> asAll = asExpected;
        asAll.push_back("2187 " + std::to_string(iFence) + " RR 201 001 000");
        std::vector<std::string> asSent = ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts);
        EXPECT_EQ(asSent, asAll) << lChanged << " " << wDevice << " " << lMode << "\n" << Joined(asSent);
    };
    Refresh(-1, 201, 0, Sweep(MSG_REVERTIVE, 0, aiIndex, 1, 16));
    Refresh(-1, 202, 0, {});
    Refresh(7, 201, 2, {"2187 0 RR 201 003 007", "2187 0 RR 201 016 007"});
    Refresh((2 << 16) | 12, 201, 2, {"2187 0 RR 201 005 012"});
    Refresh((1 << 16) | 7, 201, 2, {});   // another database: nothing remembered
    Refresh(-1, 201, 1, Sweep(MSG_REVERTIVE, 0, aiIndex, 1, 16));

    // Receive-only: no revertive of any kind.
    Plain(MSG_RX_ONLY_ORDER, 0, 201);
    int iFrom = LineCount(site.sRvxLog);
    for (const char* p : {"RP 201 1 16 0", "RQ 201 1 16 0", "RF 201 0"}) Command(p);
    Plain(MSG_NAME_CHANGED, 0, 7);
    Plain(MSG_REVERTIVE_REFRESH, 201, 2);
    Plain(MSG_REVERTIVE_REFRESH, 201, 0);
    PumpFor(500);
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts).size(), 0u);
    EXPECT_EQ(Plain(MSG_TXRX_ORDER, 0, 201), 1u);

    // Locks: saved at once, no revertive; a locked destination refuses takes
    // without reading a slot. 256 locks as 1, 2 as 2; first above last
    // changes nothing.
    iFrom = LineCount(site.sRvxLog);
    for (const char* p : {"RL 201 10 12 1 0", "RL 201 13 13 256 0", "RL 201 14 14 2 0", "RL 201 9 4 1 0"}) Command(p);
    Fence();
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts).size(), 1u);
    std::string sLock = ReadBinaryFile(SiteFile(&site, "DEV_201.LCK"));
    ASSERT_EQ(sLock.size(), 4096u);
    for (int d = 1; d <= 16; ++d) {
        int iExpected = d >= 10 && d <= 13 ? 1 : d == 14 ? 2 : 0;
        EXPECT_EQ(static_cast<unsigned char>(sLock[d - 1]), iExpected) << d;
    }
    int iReads = LineCount(site.asInfoLog[0]);
    iFrom = LineCount(site.sRvxLog);
    for (const char* p : {"RC 201 12 11 ',1' 0", "RC 201 12 13 ',1' 0", "RC 201 12 14 ',1' 0"}) Command(p);
    Fence();
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts).size(), 1u);
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[0], iReads, {MSG_INFO_SLOT_READ}).size(), 0u);
    Command("RL 201 12 12 0 0");
    CommandUntil("RC 201 12 12 ',---' 0", "RR 201 012 012");
    aiIndex[12] = 12;

    // The close request writes both files; a new start reads them back.
    DWORD dwExit = 99;
    ASSERT_TRUE(CloseSiteDriver(&site, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    std::string sIndex = ReadBinaryFile(SiteFile(&site, "DEV_201.DAT"));
    ASSERT_EQ(sIndex.size(), 8192u);
    for (int d = 1; d <= 16; ++d) {
        int iStored = static_cast<unsigned char>(sIndex[2 * (d - 1)]) << 8 | static_cast<unsigned char>(sIndex[2 * d - 1]);
        EXPECT_EQ(iStored, aiIndex[d]) << d;
    }
    RestartDriver();
    Check({"RP 201 1 16 5"}, Sweep(MSG_REVERTIVE, 5, aiIndex, 1, 16));
    iReads = LineCount(site.asInfoLog[0]);
    iFrom = LineCount(site.sRvxLog);
    for (const char* p : {"RC 201 12 10 ',1' 0", "RC 201 12 13 ',1' 0", "RC 201 12 14 ',1' 0"}) Command(p);
    Fence();
    EXPECT_EQ(ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts).size(), 1u);
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[0], iReads, {MSG_INFO_SLOT_READ}).size(), 0u);
    // An unlocked destination still takes.
    CommandUntil("RC 201 12 9 ',---' 0", "RR 201 009 012");
    EXPECT_TRUE(CloseSiteDriver(&site, &dwExit));
}

// A lock that cannot be saved (a folder stands where the save writes its
// new file) is reported with DebugMode 0 (debug line, journal line, the
// mark in the title), kept in force, and saved by the next change once the
// folder has gone; the title loses its mark.
TEST_F(RoutesProcess, FailedSaveIsReportedAndRetriedUntilItSucceeds)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n"));
    StartAll("7 5\n", "", "");
    const std::string sNewLock = SiteFile(&site, "DEV_201.LCK.new");
    const std::string sNewIndex = SiteFile(&site, "DEV_201.DAT.new");
    ASSERT_TRUE(CreateDirectoryA(sNewLock.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(sNewIndex.c_str(), nullptr));
    auto Title = [&]() {
        char ac[128] = "";
        GetWindowTextA(hDriver, ac, sizeof ac);
        return std::string(ac);
    };

    Command("RL 201 5 5 1 7");
    Fence();
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Couldn't write lock file"}, 5000), 0);
    EXPECT_GE(WaitForLine(SiteFile(&site, "DEV_201.LOG"), {"   Couldn't write lock file"}, 5000), 0);
    EXPECT_EQ(Title(), std::string(kDriverTitle201) + " - NOT SAVED");
    EXPECT_EQ(static_cast<unsigned char>(ReadBinaryFile(SiteFile(&site, "DEV_201.LCK"))[4]), 0);
    // The lock is in force all the same.
    int iReads = LineCount(site.asInfoLog[0]);
    Command("RC 201 7 5 ',---' 0");
    Fence();
    EXPECT_EQ(ReceivedTexts(site.asInfoLog[0], iReads, {MSG_INFO_SLOT_READ}).size(), 0u);

    // Saving works again: the next change (a take elsewhere) writes both.
    RemoveDirectoryA(sNewLock.c_str());
    RemoveDirectoryA(sNewIndex.c_str());
    CommandUntil("RC 201 7 3 ',---' 0", "RR 201 003 007");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-The lock file is written again"}, 5000), 0);
    EXPECT_EQ(static_cast<unsigned char>(ReadBinaryFile(SiteFile(&site, "DEV_201.LCK"))[4]), 1);
    EXPECT_EQ(Title(), kDriverTitle201);
    DWORD dwExit = 99;
    EXPECT_TRUE(CloseSiteDriver(&site, &dwExit));
}

// "RF" when the profile has gone: the access list in force stays (1, 5-7),
// a debug line and a journal line say why, and no profile is written in
// its place. Workstation 9 is still refused.
TEST_F(RoutesProcess, RefreshKeepsTheAccessListWhenTheProfileHasGone)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n", 0, "ExternalDLL=NONE\n",
                                 "[Security]\nAccess=1,5-7\n"));
    StartAll("", "", "");
    const std::string sProfile = SiteFile(&site, "DEV_201.INI");
    const std::string sAway = SiteFile(&site, "DEV_201.INI.away");
    ASSERT_TRUE(MoveFileA(sProfile.c_str(), sAway.c_str()));
    site.asTemp.push_back(sAway);

    CommandUntil("RF 201 5", "value=5 text=\"RR 201 016");
    EXPECT_GE(WaitForDebugLine(site.driver.dwPid, {"<GR>-Access list kept - the device profile cannot be read"}, 5000),
              0);
    EXPECT_GE(WaitForLine(SiteFile(&site, "DEV_201.LOG"), {"   Access list kept"}, 5000), 0);
    int iFrom = LineCount(site.sRvxLog);
    Command("RP 201 1 1 9");
    CommandUntil("RP 201 2 2 6", "value=6 text=\"RR 201 002");
    EXPECT_EQ(CountLines(site.sRvxLog, {"value=9 text="}), 0) << iFrom;
    EXPECT_FALSE(FileExists(sProfile));
    DWORD dwExit = 99;
    EXPECT_TRUE(CloseSiteDriver(&site, &dwExit));
    EXPECT_FALSE(FileExists(sProfile));
}

// A close while a take waits for a slow InfoDriver: the lock and the poll
// queued behind the take are carried out before the unregister (the lock in
// the lock file, the revertive before the 2186); the take queued after them
// is journaled as dropped at close.
TEST_F(RoutesProcess, QueuedLocksAndPollsAreCarriedOutAtAClose)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n"));
    asInfoMore[0] = "--answer-delay 2000";
    StartAll("", "", "");
    Command("RC 201 1 1 ',1' 7");
    Command("RL 201 2 2 1 7");
    Command("RP 201 4 4 7");
    Command("RC 201 1 3 ',1' 7");
    PumpFor(500);
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(hDriver, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 20000, &dwResult);
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitForExit(site.driver.hProcess, 30000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    std::string sLock = ReadBinaryFile(SiteFile(&site, "DEV_201.LCK"));
    ASSERT_EQ(sLock.size(), 4096u);
    EXPECT_EQ(static_cast<unsigned char>(sLock[1]), 1);
    int iPoll = WaitForLine(site.sRvxLog, {"value=7 text=\"RR 201 004"}, 0);
    int iUnregister = WaitForLine(site.sRvxLog, {"RVX <- 2186"}, 0);
    EXPECT_GE(iPoll, 0);
    EXPECT_GT(iUnregister, iPoll);
    const std::string sJournal = SiteFile(&site, "DEV_201.LOG");
    EXPECT_EQ(CountLines(sJournal, {"ws 7 dropped at close | RC 201 1 3 ',1' 7"}), 1);
    EXPECT_EQ(CountLines(sJournal, {"ws 7 accepted | RL 201 2 2 1 7"}), 1);
}

}  // namespace
