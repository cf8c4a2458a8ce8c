// Index and lock files on disc: layouts, the missing-file start, restart
// round trips, the periodic save, failed saves, interrupted saves and files
// held open by another program.
#include "config/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "config/journal_file.h"
#include "config/profile.h"
#include "config/test/save_states.h"
#include "core/log.h"
#include "tests/host/debug_capture.h"
#include "tests/host/test_host.h"

namespace {

const int kDevice = 7;

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        sDir = UseTempConfigDir(kDevice);
        SetDebugMode(1);   // the debug lines can be followed with WINEDEBUG=+debugstr
        sIndex = sDir + "\\DEV_007.DAT";
        sLock = sDir + "\\DEV_007.LCK";
    }
    // Every destination routed from iRoute with lock value iLock.
    static void FillTables(int iRoute, int iLock)
    {
        for (int d = 1; d <= kPackageMax; ++d) SetRoute(d, iRoute);
        SetLocks(1, kPackageMax, iLock);
    }
    // The profile's SaveDelay, loaded as the start-up loads it.
    void UseSaveDelay(long lDelay)
    {
        LoadTestProfile(sDir, "[Combiner]\nSaveDelay=" + std::to_string(lDelay) + "\n");
    }
    std::vector<unsigned char> Bytes(const std::string& sName)
    {
        std::vector<unsigned char> acBytes;
        EXPECT_TRUE(ReadFileBytes(sName, &acBytes)) << sName;
        return acBytes;
    }
    bool Exists(const std::string& sName) { return GetFileAttributesA(sName.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::string sDir, sIndex, sLock;
};

std::vector<unsigned char> IndexBytes(int iState)
{
    std::vector<int> aiTable(kPackageMax + 1), abTable(kPackageMax + 1);
    FillSaveState(iState, aiTable.data(), abTable.data());
    std::vector<unsigned char> acBytes(kIndexFileSize);
    EncodeIndex(aiTable.data(), acBytes.data());
    return acBytes;
}

std::vector<unsigned char> LockBytes(int iState)
{
    std::vector<int> aiTable(kPackageMax + 1), abTable(kPackageMax + 1);
    FillSaveState(iState, aiTable.data(), abTable.data());
    std::vector<unsigned char> acBytes(kLockFileSize);
    EncodeLocks(abTable.data(), acBytes.data());
    return acBytes;
}

}  // namespace

TEST_F(Files, MissingFilesStartUnroutedAndUnlockedAndAreCreated)
{
    FillTables(9, 9);
    LoadIndexFile();
    LoadLockFile();
    for (int d = 1; d <= kPackageMax; ++d) {
        ASSERT_EQ(Routes().aiIndex[d], 0) << d;
        ASSERT_EQ(Routes().abLock[d], 0) << d;
    }
    EXPECT_EQ(Bytes(sIndex), std::vector<unsigned char>(kIndexFileSize, 0));
    EXPECT_EQ(Bytes(sLock), std::vector<unsigned char>(kLockFileSize, 0));
    EXPECT_FALSE(Exists(sIndex + ".new"));
}

TEST_F(Files, LayoutOnDiscAndRestartRoundTrip)
{
    FillTables(0, 0);
    SetRoute(1, 300);
    SetRoute(4096, 2);
    SetRoute(77, 4000);
    SetLocks(1, 1, 1);
    SetLocks(2, 2, 256);
    SetLocks(4096, 4096, 2);
    ASSERT_TRUE(SaveIndexFile());
    ASSERT_TRUE(SaveLockFile());

    std::vector<unsigned char> acIndex = Bytes(sIndex);
    ASSERT_EQ(acIndex.size(), kIndexFileSize);
    EXPECT_EQ(acIndex[0], 0x01);
    EXPECT_EQ(acIndex[1], 0x2C);
    EXPECT_EQ(acIndex[kIndexFileSize - 2], 0x00);
    EXPECT_EQ(acIndex[kIndexFileSize - 1], 0x02);
    std::vector<unsigned char> acLock = Bytes(sLock);
    ASSERT_EQ(acLock.size(), kLockFileSize);
    EXPECT_EQ(acLock[0], 1);
    EXPECT_EQ(acLock[1], 1);   // 256 stays locked
    EXPECT_EQ(acLock[kLockFileSize - 1], 2);

    FillTables(-3, -3);
    LoadIndexFile();
    LoadLockFile();
    EXPECT_EQ(Routes().aiIndex[1], 300);
    EXPECT_EQ(Routes().aiIndex[77], 4000);
    EXPECT_EQ(Routes().aiIndex[4096], 2);
    EXPECT_EQ(Routes().aiIndex[2], 0);
    EXPECT_EQ(Routes().abLock[1], 1);
    EXPECT_NE(Routes().abLock[2], 0);
    EXPECT_EQ(Routes().abLock[3], 0);
    EXPECT_EQ(Routes().abLock[4096], 2);
}

TEST_F(Files, ShortFilesReadUnroutedAndLocked)
{
    ASSERT_TRUE(WriteFileBytes(sIndex, std::vector<unsigned char>(kIndexFileSize - 1, 0x01)));
    ASSERT_TRUE(WriteFileBytes(sLock, std::vector<unsigned char>(4000, 0)));
    LoadIndexFile();
    LoadLockFile();
    EXPECT_EQ(Routes().aiIndex[4095], 257);
    EXPECT_EQ(Routes().aiIndex[4096], 0);
    EXPECT_EQ(Routes().abLock[4000], 0);
    EXPECT_EQ(Routes().abLock[4001], -1);
    EXPECT_EQ(Routes().abLock[4096], -1);
    // The short files are left as they were until the next save.
    EXPECT_EQ(Bytes(sIndex).size(), kIndexFileSize - 1);

    ASSERT_TRUE(WriteFileBytes(sIndex, {}));
    LoadIndexFile();
    for (int d = 1; d <= kPackageMax; ++d) ASSERT_EQ(Routes().aiIndex[d], 0) << d;
}

// The driver writes only whole files: one of any other size is read as it
// stands, and named with its size in the debug output even with the debug
// log off.
TEST_F(Files, FileOfAnotherSizeIsNamedInTheDebugOutputWhateverDebugMode)
{
    DebugCapture capture;
    SetDebugMode(0);
    struct {
        bool bIndex;
        size_t nSize;
    } aCase[] = {{true, 0}, {true, 8191}, {true, 8192}, {true, 8193}, {true, 102400}, {false, 4095}, {false, 4096}};
    for (const auto& c : aCase) {
        const std::string& sName = c.bIndex ? sIndex : sLock;
        const size_t nExpected = c.bIndex ? kIndexFileSize : kLockFileSize;
        ASSERT_TRUE(WriteFileBytes(sName, std::vector<unsigned char>(c.nSize, 0x01)));
        DebugCapture::Take();
        if (c.bIndex) LoadIndexFile();
        else LoadLockFile();
        std::vector<std::string> asLines = DebugCapture::Take();
        if (c.nSize == nExpected) {
            EXPECT_TRUE(asLines.empty()) << c.nSize;
            continue;
        }
        EXPECT_EQ(asLines, (std::vector<std::string>{"<GR>-The " + std::string(c.bIndex ? "index" : "lock") + " file is " +
                                                     std::to_string(c.nSize) + " bytes, not " +
                                                     std::to_string(nExpected) + " - '" + sName + "'\n"}));
    }
    // Read as before: the first bytes of a long file are routes.
    EXPECT_EQ(Routes().aiIndex[1], 0x0101);
}

TEST_F(Files, SaveTimerWritesOnlyEverySaveDelayTicksWhenDirty)
{
    UseSaveDelay(5);
    FillTables(0, 0);
    LoadIndexFile();   // a fresh save period
    ASSERT_TRUE(DeleteFileA(sIndex.c_str()));
    SetRoute(1, 1);
    for (int iTick = 1; iTick <= 4; ++iTick) OnSaveTimer();
    EXPECT_FALSE(Exists(sIndex));
    OnSaveTimer();   // fifth tick
    EXPECT_TRUE(Exists(sIndex));
    EXPECT_EQ(Routes().bIndexDirty, 0);

    // Clean at the tenth tick: not written.
    ASSERT_TRUE(DeleteFileA(sIndex.c_str()));
    for (int iTick = 6; iTick <= 10; ++iTick) OnSaveTimer();
    EXPECT_FALSE(Exists(sIndex));

    // A negative delay never comes round.
    UseSaveDelay(-1);
    SetRoute(1, Routes().aiIndex[1] + 1);
    for (int iTick = 0; iTick < 1000; ++iTick) OnSaveTimer();
    EXPECT_FALSE(Exists(sIndex));
    EXPECT_EQ(Routes().bIndexDirty, 1);
}

TEST_F(Files, FailedSaveKeepsIndexDirtyForTheNextPeriod)
{
    FillTables(0, 0);
    ASSERT_TRUE(SaveIndexFile());
    UseSaveDelay(1);
    std::string sAway = sDir + ".away";
    ASSERT_TRUE(MoveFileA(sDir.c_str(), sAway.c_str()));

    SetRoute(5, 55);
    EXPECT_FALSE(SaveIndexFile());
    EXPECT_FALSE(SaveLockFile());
    OnSaveTimer();
    EXPECT_EQ(Routes().bIndexDirty, 1);

    ASSERT_TRUE(MoveFileA(sAway.c_str(), sDir.c_str()));
    OnSaveTimer();
    EXPECT_EQ(Routes().bIndexDirty, 0);
    std::vector<unsigned char> acIndex = Bytes(sIndex);
    ASSERT_EQ(acIndex.size(), kIndexFileSize);
    EXPECT_EQ(acIndex[9], 55);
}

// A lock save that failed is written by the next tick of the save timer,
// with no command in between.
TEST_F(Files, SaveTimerRetriesAFailedLockSave)
{
    FillTables(0, 0);
    LoadLockFile();
    ASSERT_TRUE(CreateDirectoryA((sLock + ".new").c_str(), nullptr));
    SetLocks(3, 3, 1);
    EXPECT_FALSE(SaveLockFile());
    ASSERT_TRUE(SaveFailing());
    ASSERT_TRUE(RemoveDirectoryA((sLock + ".new").c_str()));
    OnSaveTimer();
    EXPECT_FALSE(SaveFailing());
    std::vector<unsigned char> acWant(kLockFileSize);
    EncodeLocks(Routes().abLock, acWant.data());
    EXPECT_EQ(Bytes(sLock), acWant);
}

// A file that another program holds open without sharing it: tried again
// for a while; when it stays unreadable the driver starts from empty tables
// but does not replace the file with them.
TEST_F(Files, FileHeldByAnotherProgramIsWaitedForThenLeftAsItIs)
{
    FillTables(0, 0);
    SetRoute(3, 12);
    SetLocks(3, 3, 1);
    ASSERT_TRUE(SaveIndexFile());
    ASSERT_TRUE(SaveLockFile());
    std::vector<unsigned char> acIndex = Bytes(sIndex), acLock = Bytes(sLock);
    auto Hold = [](const std::string& sName) {
        return CreateFileA(sName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };

    // Released after 300 ms: read as if nothing had happened.
    HANDLE hIndex = Hold(sIndex);
    ASSERT_NE(hIndex, INVALID_HANDLE_VALUE);
    std::thread release([hIndex]() {
        Sleep(300);
        CloseHandle(hIndex);
    });
    SetRoute(3, 0);
    LoadIndexFile();
    release.join();
    EXPECT_EQ(Routes().aiIndex[3], 12);

    // Held throughout: empty tables, both files untouched by the start and
    // by a shut-down that has nothing to keep.
    hIndex = Hold(sIndex);
    HANDLE hLock = Hold(sLock);
    ASSERT_NE(hIndex, INVALID_HANDLE_VALUE);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);
    LoadIndexFile();
    LoadLockFile();
    CloseHandle(hIndex);
    CloseHandle(hLock);
    EXPECT_EQ(Routes().aiIndex[3], 0);
    EXPECT_EQ(Routes().abLock[3], 0);
    SaveChangedTables();
    EXPECT_EQ(Bytes(sIndex), acIndex);
    EXPECT_EQ(Bytes(sLock), acLock);

    // A route of its own is saved as usual; so is a lock change that leaves
    // the table empty (an unlock): the file then holds what the driver holds.
    SetRoute(9, 4);
    SetLocks(3, 3, 0);
    SaveChangedTables();
    EXPECT_EQ(Bytes(sIndex)[17], 4);
    EXPECT_EQ(Bytes(sLock), std::vector<unsigned char>(kLockFileSize, 0));
    EXPECT_EQ(Routes().bIndexDirty, 0);
    EXPECT_EQ(Routes().bLockDirty, 0);
}

TEST_F(Files, SaveThatCannotWriteLeavesThePreviousFile)
{
    FillTables(1, 0);
    ASSERT_TRUE(SaveIndexFile());
    std::vector<unsigned char> acBefore = Bytes(sIndex);
    // A directory in the way of the new file's name: the write cannot start.
    ASSERT_TRUE(CreateDirectoryA((sIndex + ".new").c_str(), nullptr));
    for (int d = 1; d <= kPackageMax; ++d) SetRoute(d, 2);
    EXPECT_FALSE(SaveIndexFile());
    EXPECT_EQ(Bytes(sIndex), acBefore);
    RemoveDirectoryA((sIndex + ".new").c_str());
}

// Kills processes that save both files in a loop at random moments, many
// times, and checks after each kill that each file is one complete state.
// Four helpers, each on its own device's files, run side by side.
TEST_F(Files, KilledSavesNeverLeaveAShortOrMixedFile)
{
    const int kHelpers = 4;
    const int kRounds = 30;
    const std::vector<unsigned char> acIndexState[2] = {IndexBytes(0), IndexBytes(1)};
    const std::vector<unsigned char> acLockState[2] = {LockBytes(0), LockBytes(1)};
    std::string asIndex[kHelpers], asLock[kHelpers];
    for (int h = 0; h < kHelpers; ++h) {
        char acName[32];
        std::snprintf(acName, sizeof acName, "\\DEV_%03d.", kDevice + h);
        asIndex[h] = sDir + acName + "DAT";
        asLock[h] = sDir + acName + "LCK";
        ASSERT_TRUE(WriteFileBytes(asIndex[h], acIndexState[0]));
        ASSERT_TRUE(WriteFileBytes(asLock[h], acLockState[0]));
    }

    char acExe[MAX_PATH];
    GetModuleFileNameA(nullptr, acExe, sizeof acExe);
    std::string sHelper(acExe);
    sHelper = sHelper.substr(0, sHelper.find_last_of('\\') + 1) + "savehammer_test_helper.exe";

    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> delay(0, 8);
    int nKills = 0, nTorn = 0, nSeen[2] = {0, 0};
    for (int iRound = 0; iRound < kRounds; ++iRound) {
        PROCESS_INFORMATION api[kHelpers] = {};
        HANDLE ahReady[kHelpers] = {};
        for (int h = 0; h < kHelpers; ++h) {
            char acEvent[64];
            std::snprintf(acEvent, sizeof acEvent, "zur_savehammer_%lu_%d_%d", GetCurrentProcessId(), iRound, h);
            ahReady[h] = CreateEventA(nullptr, TRUE, FALSE, acEvent);
            char acCommand[MAX_PATH + 128];
            std::snprintf(acCommand, sizeof acCommand, "\"%s\" %d %s", sHelper.c_str(), kDevice + h, acEvent);
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            if (!CreateProcessA(nullptr, acCommand, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &api[h])) {
                // The helpers save until killed: end those of this round
                // before failing, or they would outlive the test.
                DWORD dwError = GetLastError();
                for (int k = 0; k < h; ++k) {
                    TerminateProcess(api[k].hProcess, 9);
                    WaitForSingleObject(api[k].hProcess, 10000);
                    CloseHandle(api[k].hThread);
                    CloseHandle(api[k].hProcess);
                }
                FAIL() << "round " << iRound << ": helper " << h << " did not start, error " << dwError;
            }
        }
        for (int h = 0; h < kHelpers; ++h) {
            HANDLE ahWait[2] = {ahReady[h], api[h].hProcess};
            EXPECT_EQ(WaitForMultipleObjects(2, ahWait, FALSE, 20000), WAIT_OBJECT_0) << "helper did not save";
        }
        for (int h = 0; h < kHelpers; ++h) {
            Sleep(static_cast<DWORD>(delay(rng)));
            TerminateProcess(api[h].hProcess, 9);
        }
        for (int h = 0; h < kHelpers; ++h) {
            WaitForSingleObject(api[h].hProcess, 10000);
            CloseHandle(api[h].hThread);
            CloseHandle(api[h].hProcess);
            CloseHandle(ahReady[h]);
            ++nKills;

            std::vector<unsigned char> acIndex = Bytes(asIndex[h]);
            std::vector<unsigned char> acLock = Bytes(asLock[h]);
            bool bIndexOk = acIndex == acIndexState[0] || acIndex == acIndexState[1];
            bool bLockOk = acLock == acLockState[0] || acLock == acLockState[1];
            if (!bIndexOk) ++nTorn;
            if (!bLockOk) ++nTorn;
            EXPECT_TRUE(bIndexOk) << "round " << iRound << ": index file of " << acIndex.size() << " bytes";
            EXPECT_TRUE(bLockOk) << "round " << iRound << ": lock file of " << acLock.size() << " bytes";
            ++nSeen[acIndex == acIndexState[1] ? 1 : 0];
        }
    }
    std::printf("kills %d, torn files %d; index file found in state 0 %d times, state 1 %d times\n", nKills,
                nTorn, nSeen[0], nSeen[1]);
    EXPECT_GE(nKills, 100);
    EXPECT_EQ(nTorn, 0);
}

// JournalSize 1: a take of three 100-byte lines at a time; the file moves to
// DEV_007.LOG.1 at the end of the take that brings it to 1 KB (the fourth,
// the eighth), so the two files hold the last takes whole and in order,
// with nothing lost between them; the takes before are gone.
TEST_F(Files, JournalMovesToItsOldFileAtJournalSizeAndLosesNoLine)
{
    LoadTestProfile(sDir, "[Combiner]\nJournalSize=1\n");
    ASSERT_EQ(Profile().JournalSize, 1);
    int nLines = 0;
    // Takes of three numbered 100-byte lines each.
    auto Takes = [&nLines](int nTakes) {
        for (int iTake = 0; iTake < nTakes; ++iTake) {
            for (int i = 0; i < 3; ++i) {
                char acLine[128];
                std::snprintf(acLine, sizeof acLine, "line %04d %s", nLines++, std::string(88, 'x').c_str());
                JournalLine(acLine);
            }
            FlushJournal();
        }
    };
    Takes(10);
    CloseJournal();
    auto Lines = [this](const std::string& sName) {
        std::vector<unsigned char> acBytes = Bytes(sName);
        std::vector<int> aiLine;
        const std::string sText(acBytes.begin(), acBytes.end());
        for (size_t i = 0; i < sText.size(); i += 100) {
            EXPECT_EQ(sText.substr(i + 98, 2), "\r\n") << sName << " at " << i;
            aiLine.push_back(std::stoi(sText.substr(i + 5, 4)));
        }
        return aiLine;
    };
    std::vector<int> aiOld = Lines(sDir + "\\DEV_007.LOG.1"), aiNew = Lines(sDir + "\\DEV_007.LOG");
    std::vector<int> aiOldExpected, aiNewExpected;
    for (int i = 12; i < 24; ++i) aiOldExpected.push_back(i);
    for (int i = 24; i < 30; ++i) aiNewExpected.push_back(i);
    EXPECT_EQ(aiOld, aiOldExpected);
    EXPECT_EQ(aiNew, aiNewExpected);

    // A viewer that follows the file holds it open (sharing read and write,
    // not delete): the file cannot move, so the journal grows on in it and
    // says so once; once the viewer has closed it, the next JournalSize
    // moves it.
    DebugCapture capture;
    HANDLE hViewer = CreateFileA((sDir + "\\DEV_007.LOG").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hViewer, INVALID_HANDLE_VALUE);
    DebugCapture::Take();
    Takes(4);
    std::vector<std::string> asDebug = DebugCapture::Take();
    ASSERT_EQ(asDebug.size(), 1u);
    EXPECT_NE(asDebug[0].find("cannot move to its .1 file"), std::string::npos) << asDebug[0];
    EXPECT_TRUE(JournalOn());
    CloseHandle(hViewer);
    Takes(4);
    CloseJournal();
    EXPECT_TRUE(DebugCapture::Take().empty());
    // The held file passed 1 KB with line 35 and grew on; it moved once it
    // had grown by another KB, with line 47; 48..53 started the new one.
    aiOldExpected.clear();
    aiNewExpected.clear();
    for (int i = 24; i < 48; ++i) aiOldExpected.push_back(i);
    for (int i = 48; i < 54; ++i) aiNewExpected.push_back(i);
    EXPECT_EQ(Lines(sDir + "\\DEV_007.LOG.1"), aiOldExpected);
    EXPECT_EQ(Lines(sDir + "\\DEV_007.LOG"), aiNewExpected);
}
