// The driver as a process: zur.exe 201 with the stand-in RVX and InfoDrivers,
// from attach and registration to the shut-down that a peer or the platform
// asks for.
#include "tests/support/site.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ipc/transport.h"

namespace {

class DriverProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateSite(&site));
        WriteProfile("DatabaseSize_0=16\nDatabaseSize_1=16\n");
    }
    void TearDown() override
    {
        StopDebugCapture();
        ClearDebugLines();
        RemoveSite(&site);
    }
    void WriteProfile(const std::string& sDatabase, int iDebugMode = 0)
    {
        ASSERT_TRUE(WriteSiteProfile(&site, sDatabase, iDebugMode));
    }
    void StartRvx(const std::string& sMore = "") { ASSERT_TRUE(StartSiteRvx(&site, sMore)); }
    void StartInfoDrivers()
    {
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(StartSiteInfoDriver(&site, i));
    }
    void StartDriver(const char* pLibToDrop = nullptr, const std::string& sArgs = "201")
    {
        if (pLibToDrop != nullptr) DeleteFileA((site.sLib + "\\" + pLibToDrop).c_str());
        ASSERT_TRUE(StartSiteDriver(&site, sArgs));
    }
    HWND DriverWindow() { return SiteDriverWindow(&site); }
    std::vector<std::string> BoxesUntilExit(DWORD* pdwExit)
    {
        std::string sFailure;
        std::vector<std::string> asText = ::BoxesUntilExit(&site, pdwExit, &sFailure);
        if (!sFailure.empty()) ADD_FAILURE() << sFailure;
        return asText;
    }
    bool Registered() { return SiteRegistered(&site); }
    bool StartedUp() { return SiteStartedUp(&site); }
    std::string DataFile(const char* pExt) { return SiteFile(&site, ("DEV_201." + std::string(pExt)).c_str()); }
    // The take journal's lines of the driver's own life ("   ** "), each
    // from its kind on.
    std::vector<std::string> JournalEvents()
    {
        std::vector<std::string> asEvent;
        for (const std::string& sLine : ReadLines(DataFile("LOG"))) {
            size_t i = sLine.find("   ** ");
            if (i != std::string::npos) asEvent.push_back(sLine.substr(i + 6));
        }
        return asEvent;
    }

    DriverSite site;
    std::string& sRvxLog = site.sRvxLog;
    std::string (&asInfoLog)[3] = site.asInfoLog;
    std::vector<std::string>& asLog = site.asTemp;
    StartedProcess& driver = site.driver;
};

// Attach, registration, links and the TX/RX state of the InfoDrivers; then
// each way of ending: the peer's close request, WM_CLOSE and the platform's
// end of session. Each unlinks, unregisters, writes both files and exits 0.
TEST_F(DriverProcess, StartsUpAndShutsDownOnEachCloseRequest)
{
    for (UINT uClose : {static_cast<UINT>(MSG_CLOSE_REQUEST), static_cast<UINT>(WM_CLOSE),
                        static_cast<UINT>(WM_QUERYENDSESSION)}) {
        SCOPED_TRACE(uClose);
        if (uClose != MSG_CLOSE_REQUEST) {
            TearDown();
            SetUp();
        }
        StartRvx();
        StartInfoDrivers();
        StartDriver();
        HWND hDriver = DriverWindow();
        ASSERT_NE(hDriver, nullptr);
        ASSERT_TRUE(Registered());
        ASSERT_TRUE(StartedUp());
        EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2031 attach"}, 0), 0);
        EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2119"}, 0), 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_GE(WaitForLine(asInfoLog[i], {"<- 2732"}, 0), 0);
            EXPECT_GE(WaitForLine(asInfoLog[i], {"<- 2733", "wparam=3"}, 0), 0);
        }
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186"}), 0);
        // Shut-down writes both files again.
        DeleteFileA(DataFile("DAT").c_str());
        DeleteFileA(DataFile("LCK").c_str());

        DWORD_PTR dwResult = 99;
        EXPECT_NE(SendMessageTimeoutA(hDriver, uClose, 0, 0, SMTO_NORMAL, 20000, &dwResult), 0);
        // The end of the session is answered TRUE: the driver does not hold it up.
        EXPECT_EQ(dwResult, uClose == WM_QUERYENDSESSION ? 1u : 0u);
        DWORD dwExit = 99;
        ASSERT_TRUE(WaitForExit(driver.hProcess, 20000, &dwExit));
        EXPECT_EQ(dwExit, 0u);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186 unregister"}), 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(CountLines(asInfoLog[i], {"<- 2725"}), 1) << i;
        }
        EXPECT_TRUE(FileExists(DataFile("DAT")));
        EXPECT_TRUE(FileExists(DataFile("LCK")));
        // The journal tells the start, the registration and the shut-down
        // with its cause.
        const std::vector<std::string> asEvent = JournalEvents();
        ASSERT_EQ(asEvent.size(), 3u);
        EXPECT_EQ(asEvent[0], "start | zur.exe 3.05.03, device 201, profile " + DataFile("INI") +
                                  ", DatabaseSize_0=16, DatabaseSize_1=16");
        EXPECT_EQ(asEvent[1], "registration | registered with RVX");
        EXPECT_EQ(asEvent[2], std::string("shut-down | ") +
                                  (uClose == WM_CLOSE             ? "WM_CLOSE"
                                   : uClose == WM_QUERYENDSESSION ? "end of the Windows session (WM_QUERYENDSESSION)"
                                                                  : "message 2175 from a peer"));
    }
}

// Two drivers of one device started together (0-50 ms apart) on a profile
// that lacks keys, as at a site's first start: only the driver RVX accepts
// writes the missing keys back, so the profile comes out of every round
// whole, the keys it held and the ones it lacked.
TEST_F(DriverProcess, TwoDriversStartedTogetherLeaveTheProfileWhole)
{
    StartRvx();
    StartInfoDrivers();
    const std::string sProfile = DataFile("INI");
    auto Key = [&](const char* pSection, const char* pKey) {
        char ac[128] = "";
        GetPrivateProfileStringA(pSection, pKey, "(missing)", ac, sizeof ac, sProfile.c_str());
        return std::string(ac);
    };
    const std::vector<std::string> asEnv = {"CC_ROOT=" + site.sRoot, "CC_SYSTEM=sys"};
    std::srand(22);
    for (int iRound = 0; iRound < 10; ++iRound) {
        SCOPED_TRACE(iRound);
        WriteProfile("DatabaseSize_0=16\nDatabaseSize_1=16\n");
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, sProfile.c_str());   // no cached copy
        const int iInfoFrom = LineCount(asInfoLog[2]);
        StartedProcess aDriver[2];
        aDriver[0] = StartProgram("zur.exe", "201", asEnv);
        Sleep(static_cast<DWORD>(std::rand() % 51));
        aDriver[1] = StartProgram("zur.exe", "201", asEnv);
        // The refused one shows its box, is let go and ends; the other stays.
        int iLeft = -1;
        DWORD dwStart = GetTickCount();
        while (iLeft < 0 && GetTickCount() - dwStart < 60000) {
            for (int i = 0; i < 2; ++i) {
                HWND hBox = WaitForErrorBox(aDriver[i].dwPid, 50);
                if (hBox != nullptr) PressErrorBoxOk(hBox);
                if (WaitForExit(aDriver[i].hProcess, 0)) iLeft = 1 - i;
            }
        }
        ASSERT_GE(iLeft, 0) << "neither driver ended";
        EXPECT_GE(WaitForLine(asInfoLog[2], {"INFO303 <- 2732"}, 60000, iInfoFrom), 0);
        // Found by class alone: when both drivers met over the table files
        // that neither had yet, the one left may carry " - NOT SAVED" in its
        // title until its next save.
        HWND hWinner = WaitForWindow("Q7CMBINE", nullptr, aDriver[iLeft].dwPid, 20000);
        if (hWinner == nullptr) {
            for (StartedProcess& d : aDriver) EndProcess(&d);
        }
        ASSERT_NE(hWinner, nullptr);
        DWORD_PTR dwResult = 0;
        SendMessageTimeoutA(hWinner, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 20000, &dwResult);
        EXPECT_TRUE(WaitForExit(aDriver[iLeft].hProcess, 30000));
        for (StartedProcess& d : aDriver) EndProcess(&d);

        WritePrivateProfileStringA(nullptr, nullptr, nullptr, sProfile.c_str());
        EXPECT_EQ(Key("Database", "DatabaseSize_0"), "16");
        EXPECT_EQ(Key("Database", "DatabaseSize_1"), "16");
        EXPECT_EQ(Key("Combiner", "SrcePkgInfoId"), "301");
        EXPECT_EQ(Key("Combiner", "LevelMapInfoId"), "303");
        EXPECT_EQ(Key("Combiner", "SaveDelay"), "5");
        EXPECT_EQ(Key("Combiner", "ExternalDLL"), "NONE");
        EXPECT_EQ(Key("Combiner", "Name"), "Default");
        EXPECT_EQ(Key("Combiner", "NameLength"), "8");
        EXPECT_EQ(Key("Combiner", "JournalSize"), "1024");
        EXPECT_EQ(Key("Levels", "Level_01"), "F,R,1");
        EXPECT_EQ(Key("Levels", "Level_32"), "F,R,32");
        EXPECT_EQ(Key("Masks", "Mask_32"), "MASKNAME_32,1,2,3,4,5,6,7,8");
        EXPECT_EQ(Key("Security", "Access"), "ALL");
    }
}

TEST_F(DriverProcess, NetworkStatusAndArbitrationCarryTheInfoDriversAlong)
{
    StartRvx();
    StartInfoDrivers();
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(Registered());
    ASSERT_TRUE(StartedUp());

    // RX only by network status (sent here as RVX would send it): reported to
    // RVX, answered to RVX, and the InfoDrivers follow.
    HWND hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_NETWORK_STATUS, 0, "NS 5 1 'TXRX=1' a b c"), 1);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_NETWORK_STATUS, 0, "NS 5 1 'MODE=1' a b c"), 0);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_NETWORK_STATUS, 0, "NS 5 2 'TXRX=2' a b c"), 0);
    DestroyWindow(hPeer);
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2215", "wparam=1 lparam=201"}, 5000), 0);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2123"}), 1);
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2123", "text=\"NS 005 001 'TXRX=1' a b c\""}, 5000), 0);
    for (int i = 0; i < 3; ++i) EXPECT_GE(WaitForLine(asInfoLog[i], {"<- 2733", "wparam=1"}, 5000), 0) << i;

    // Back to TX/RX by the arbitration order for this device.
    DWORD_PTR dwResult = 0;
    ASSERT_NE(SendMessageTimeoutA(hDriver, MSG_TXRX_ORDER, 0, 201, SMTO_NORMAL, 20000, &dwResult), 0);
    EXPECT_EQ(dwResult, 1u);
    SendMessageTimeoutA(hDriver, MSG_ARBITRATION_QUERY, 0, 202, SMTO_NORMAL, 20000, &dwResult);
    EXPECT_EQ(dwResult, 0u);   // TX/RX: it does not give way
    SendMessageTimeoutA(hDriver, MSG_OWNERSHIP_QUERY, 0, 201, SMTO_NORMAL, 20000, &dwResult);
    EXPECT_EQ(dwResult, 1u);
    EXPECT_GE(WaitForLine(asInfoLog[2], {"INFO303 <- 2733", "wparam=3"}, 5000, 0), 0);
    // Each change of state in the journal, with its cause; the status that
    // changes nothing leaves no line.
    DWORD dwExit = 99;
    EXPECT_TRUE(CloseSiteDriver(&site, &dwExit));
    const std::vector<std::string> asEvent = JournalEvents();
    ASSERT_EQ(asEvent.size(), 5u);
    EXPECT_EQ(asEvent[2], "txrx | RX only (RVX network status)");
    EXPECT_EQ(asEvent[3], "txrx | TX/RX (RVX's TX/RX order)");
}

TEST_F(DriverProcess, RegistrationRefusalsShowTheirBoxUnregisterAndEnd)
{
    const struct {
        int iCode;
        const char* pBox;
    } aCase[] = {
        {1, "Request refused - ID supplied is invalid"},
        {2, "Request refused - A driver has already registered this Id"},
        {3, "Request refused - RVX has not been enabled in Driver Mode"},
        {5, "Request refused - RVX answered 5"},
    };
    for (const auto& c : aCase) {
        SCOPED_TRACE(c.iCode);
        if (c.iCode != 1) {
            TearDown();
            SetUp();
        }
        WriteProfile("DatabaseSize_0=16\nDatabaseSize_1=16\n", 1);
        StartRvx("--register-answer " + std::to_string(c.iCode));
        ASSERT_TRUE(StartDebugCapture());
        StartDriver();
        DWORD dwExit = 99;
        std::vector<std::string> asBox = BoxesUntilExit(&dwExit);
        EXPECT_EQ(dwExit, 0u);
        ASSERT_EQ(asBox.size(), 1u);
        EXPECT_EQ(asBox[0], c.pBox);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2184", "lparam=32969"}), 1);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186 unregister"}), 1);
        EXPECT_TRUE(FileExists(DataFile("DAT")));
        EXPECT_TRUE(FileExists(DataFile("LCK")));
        int iAttach = WaitForDebugLine(driver.dwPid, {"<GR>-Trying to attach to RVX"}, 0);
        int iHandle = WaitForDebugLine(driver.dwPid, {"<GR>-RVX handle 0x"}, 0);
        int iAttempt = WaitForDebugLine(driver.dwPid, {"<GR>-Attempting to register device 201"}, 0);
        std::string sResult;
        int iResult = WaitForDebugLine(driver.dwPid, {"<GR>-Result is "}, 0, 0, &sResult);
        EXPECT_EQ(sResult, "<GR>-Result is " + std::to_string(c.iCode));
        EXPECT_GE(iAttach, 0);
        EXPECT_GT(iHandle, iAttach);
        EXPECT_GT(iAttempt, iHandle);
        EXPECT_GT(iResult, iAttempt);
        // No InfoDriver is looked for once shut-down has begun.
        EXPECT_EQ(WaitForDebugLine(driver.dwPid, {"InfoDriver"}, 0), -1);
        const std::vector<std::string> asEvent = JournalEvents();
        ASSERT_EQ(asEvent.size(), 3u);
        EXPECT_EQ(asEvent[1], "registration | refused (" + std::to_string(c.iCode) + "): " + c.pBox);
        EXPECT_EQ(asEvent[2], "shut-down | registration refused");
    }
}

// A command far longer than a debug line: queued whole, logged cut to the
// debug line, and the driver goes on answering.
TEST_F(DriverProcess, OverlongCommandIsQueuedWholeAndLoggedCut)
{
    WriteProfile("DatabaseSize_0=16\nDatabaseSize_1=16\n", 1);
    StartRvx();
    StartInfoDrivers();
    ASSERT_TRUE(StartDebugCapture());
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(StartedUp());
    HWND hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    // "RP 201 3 3 0" followed by blanks and filler: 500 characters in all.
    std::string sLong = "RP 201 3 3 0" + std::string(200, ' ') + std::string(288, 'z');
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, sLong.c_str()), 1);
    DestroyWindow(hPeer);
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2187 revertive value=0 text=\"RR 201 003 000\""}, 10000), 0);
    std::string sLine;
    ASSERT_GE(WaitForDebugLine(driver.dwPid, {"<GR>-<RP 201 3 3 0"}, 5000, 0, &sLine), 0);
    EXPECT_LE(sLine.size(), 255u);   // one debug line of 256 bytes at most
    EXPECT_GE(sLine.size(), 250u);
    EXPECT_NE(sLine.find("zzzz"), std::string::npos);
    EXPECT_EQ(sLine.find(std::string(288, 'z')), std::string::npos);   // cut to the debug line
    DWORD_PTR dwResult = 1;
    EXPECT_NE(SendMessageTimeoutA(hDriver, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 20000, &dwResult), 0);
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitForExit(driver.hProcess, 20000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
}

// Every file under a directory, by path, with its bytes.
static void SnapshotTree(const std::string& sDir, std::string* psOut)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((sDir + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        const std::string sName = fd.cFileName;
        if (sName == "." || sName == "..") continue;
        const std::string sPath = sDir + "\\" + sName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            *psOut += sPath + "\\\n";
            SnapshotTree(sPath, psOut);
        } else {
            *psOut += sPath + "=" + ReadBinaryFile(sPath) + "\n";
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

// A command line that is not a whole device number 1..999 gets one box that
// names it and the range, and the driver ends with 3 before it has looked
// for, loaded or written any file: the site stays as it was, byte for byte.
TEST_F(DriverProcess, MistypedDeviceNumberOneBoxAndNoFileTouched)
{
    std::string sBefore;
    SnapshotTree(site.sRoot, &sBefore);
    ASSERT_NE(sBefore.find("DEV_201.INI="), std::string::npos);
    for (const std::string& sArgs : {std::string("0"), std::string("1000"), std::string("abc"), std::string(""),
                                     std::string("7x"), std::string("-7"), "201x" + std::string(3000, '9')}) {
        SCOPED_TRACE(sArgs.substr(0, 20));
        StartDriver(nullptr, sArgs);
        DWORD dwExit = 99;
        std::vector<std::string> asBox = BoxesUntilExit(&dwExit);
        EXPECT_EQ(dwExit, 3u);
        ASSERT_EQ(asBox.size(), 1u);
        EXPECT_EQ(asBox[0].find("zur.exe \"" + sArgs.substr(0, 20)), 0u) << asBox[0];
        EXPECT_NE(asBox[0].find("1..999"), std::string::npos) << asBox[0];
        EXPECT_LT(asBox[0].size(), 200u);
        EXPECT_EQ(WaitForWindow("Q7CMBINE", nullptr, driver.dwPid, 0), nullptr);
        EndProcess(&driver);
        std::string sAfter;
        SnapshotTree(site.sRoot, &sAfter);
        EXPECT_EQ(sAfter, sBefore);
    }
    // Leading zeros and blanks around the number name device 201.
    StartRvx();
    StartDriver(nullptr, " 0201 ");
    EXPECT_NE(DriverWindow(), nullptr);
    DWORD dwExit = 99;
    EXPECT_TRUE(CloseSiteDriver(&site, &dwExit));
    EXPECT_EQ(dwExit, 0u);
}

TEST_F(DriverProcess, WithoutRvxOneBoxAndNothingWritten)
{
    StartDriver(nullptr, "201");
    EXPECT_NE(DriverWindow(), nullptr);
    DWORD dwExit = 99;
    std::vector<std::string> asBox = BoxesUntilExit(&dwExit);
    EXPECT_EQ(dwExit, 0u);
    ASSERT_EQ(asBox.size(), 1u);
    EXPECT_EQ(asBox[0], "Cannot find KELM Interface Q7RVX.EXE");
    EXPECT_FALSE(FileExists(DataFile("DAT")));
    EXPECT_FALSE(FileExists(DataFile("LCK")));
}

// A driver that is going to end never registers on the way out.
TEST_F(DriverProcess, MissingDatabaseSizeStopsStartUpBeforeRvx)
{
    WriteProfile("DatabaseSize_1=16\n");
    StartRvx();
    StartInfoDrivers();
    StartDriver();
    DWORD dwExit = 99;
    std::vector<std::string> asBox = BoxesUntilExit(&dwExit);
    EXPECT_EQ(dwExit, 0u);
    ASSERT_GE(asBox.size(), 1u);
    EXPECT_NE(asBox[0].find("DatabaseSize_0"), std::string::npos) << asBox[0];
    PumpFor(300);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2031"}), 0);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2184"}), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(CountLines(asInfoLog[i], {"<- 2724"}), 0);
}

TEST_F(DriverProcess, MissingControlLibraryShowsItsBoxAndShutsDown)
{
    for (const char* pLib : {"KELM_CC.DLL", "BWCC32.DLL"}) {
        SCOPED_TRACE(pLib);
        if (pLib[0] == 'B') {
            TearDown();
            SetUp();
        }
        StartRvx();
        StartDriver(pLib);
        DWORD dwExit = 99;
        std::vector<std::string> asBox = BoxesUntilExit(&dwExit);
        EXPECT_EQ(dwExit, 0u);
        ASSERT_EQ(asBox.size(), 1u);
        EXPECT_EQ(asBox[0], std::string("Cannot find ") + pLib);
        PumpFor(300);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2031"}), 0);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2184"}), 0);
    }
}

// 10,000 router commands reach the driver while it is still starting up (busy
// with its InfoDrivers, so no posted message is handled): every one is
// answered with its revertive, once, in the order of arrival.
TEST_F(DriverProcess, BurstOfCommandsDuringStartUpIsProcessedOnceInOrder)
{
    const int kBurst = 10000;
    std::string sScript = TempFile("burst", "txt");
    asLog.push_back(sScript);
    std::string sText = "wait-attach 30\nexpect 2184 \"\" 30\n";
    for (int i = 0; i < kBurst; ++i) {
        sText += "send 2189 \"RP 201 " + std::to_string(i % 16 + 1) + " " + std::to_string(i % 16 + 1) + " " +
                 std::to_string(i % 1000) + "\"\n";
    }
    sText += "mark \"burst sent\"\n";
    ASSERT_TRUE(WriteTextFile(sScript, sText));
    StartRvx("--script \"" + sScript + "\"");
    StartInfoDrivers();
    StartDriver();
    ASSERT_GE(WaitForLine(sRvxLog, {"RVX == burst sent"}, 240000), 0);
    ASSERT_TRUE(StartedUp());

    auto tEnd = GetTickCount() + 240000;
    while (CountLines(sRvxLog, {"RVX <- 2187 revertive"}) < kBurst && GetTickCount() < tEnd) PumpFor(500);
    std::vector<std::string> asLine = ReadLines(sRvxLog);
    // Far more than 64 commands were waiting at once: all those accepted
    // before the first revertive came back.
    int nWaiting = 0;
    for (const std::string& sLine : asLine) {
        if (sLine.find("RVX <- 2187") != std::string::npos) break;
        if (sLine.find("RVX -> 2189") != std::string::npos) ++nWaiting;
    }
    EXPECT_GT(nWaiting, 1000);
    std::printf("%d commands were waiting before the first was processed\n", nWaiting);
    int i = 0;
    for (const std::string& sLine : asLine) {
        if (sLine.find("RVX <- 2187 revertive") == std::string::npos) continue;
        char acExpected[96];
        std::snprintf(acExpected, sizeof acExpected, "value=%d text=\"RR 201 %03d 000\"", i % 1000, i % 16 + 1);
        ASSERT_NE(sLine.find(acExpected), std::string::npos) << "revertive " << i << ": " << sLine;
        ++i;
    }
    EXPECT_EQ(i, kBurst);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX -> 2189", "result=1"}), kBurst);
}

// The files as they stood before the driver started: a route 4 <- 12 and a
// lock of 4. A driver that changed nothing must leave them so.
void WriteKnownFiles(const std::string& sIndex, const std::string& sLock)
{
    std::string sData(8192, '\0');
    sData[7] = 12;
    std::string sLocks(4096, '\0');
    sLocks[3] = 1;
    HANDLE h = CreateFileA(sIndex.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, sData.data(), 8192, &n, nullptr);
    CloseHandle(h);
    h = CreateFileA(sLock.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    WriteFile(h, sLocks.data(), 4096, &n, nullptr);
    CloseHandle(h);
}

// A close request sent twice (once sent, once posted) runs the shut-down
// once; one that RVX sends right after its 2032, while the driver starts,
// stops start-up before it registers, and nothing is written over files it
// never changed.
TEST_F(DriverProcess, CloseRequestsRunOneShutDownAndStopStartUp)
{
    StartRvx();
    StartInfoDrivers();
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(StartedUp());
    DWORD_PTR dwResult = 99;
    EXPECT_NE(SendMessageTimeoutA(hDriver, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, &dwResult), 0);
    PostMessageA(hDriver, WM_CLOSE, 0, 0);
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitForExit(driver.hProcess, 20000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186"}), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(CountLines(asInfoLog[i], {"<- 2725"}), 1) << i;

    TearDown();
    SetUp();
    WriteKnownFiles(DataFile("DAT"), DataFile("LCK"));
    std::string sIndex = ReadBinaryFile(DataFile("DAT")), sLock = ReadBinaryFile(DataFile("LCK"));
    // RVX is busy for a second when the broadcast comes, then answers and
    // at once asks the driver to close.
    StartRvx("--attach-delay 1000 -e \"wait-attach 30\" -e \"plain 2175 0 0\"");
    StartInfoDrivers();
    StartDriver();
    ASSERT_TRUE(WaitForExit(driver.hProcess, 30000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2184"}), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(CountLines(asInfoLog[i], {"<- 2724"}), 0) << i;
    EXPECT_EQ(ReadBinaryFile(DataFile("DAT")), sIndex);
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK")), sLock);
}

// Every close ends in bounded time, whatever the driver is doing: a
// start-up box open (2175 sent, WM_CLOSE posted: the request closes the
// box), a WM_CLOSE posted during the level map's initialisation (4096 slow
// reads), a take that waits for slow but live InfoDrivers (8 s an answer),
// and an "RF" sweep through a slow RVX. Each ends, unregistered, well within
// its limit of the request.
TEST_F(DriverProcess, EveryCloseEndsInBoundedTime)
{
    auto Close = [&](HWND hDriver, UINT uMessage, bool bPost) {
        if (bPost) {
            PostMessageA(hDriver, uMessage, 0, 0);
        } else {
            DWORD_PTR dwResult = 0;
            SendMessageTimeoutA(hDriver, uMessage, 0, 0, SMTO_NORMAL, 30000, &dwResult);
        }
    };
    auto EndsWithin = [&](DWORD dwStart, DWORD dwLimit) {
        DWORD dwExit = 99;
        DWORD dwTaken = GetTickCount() - dwStart;
        EXPECT_TRUE(WaitForExit(driver.hProcess, dwTaken < dwLimit ? dwLimit - dwTaken : 0, &dwExit))
            << "not ended " << dwLimit << " ms after the request";
        EXPECT_EQ(dwExit, 0u);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186 unregister"}), 1);
    };

    // The box of an InfoDriver that is not running (302).
    for (bool bPost : {false, true}) {
        SCOPED_TRACE(bPost ? "posted WM_CLOSE, box open" : "2175, box open");
        TearDown();
        SetUp();
        StartRvx();
        ASSERT_TRUE(StartSiteInfoDriver(&site, 0));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 2));
        StartDriver();
        HWND hDriver = DriverWindow();
        ASSERT_NE(hDriver, nullptr);
        HWND hBox = WaitForErrorBox(driver.dwPid, 30000);
        ASSERT_NE(hBox, nullptr);
        EXPECT_NE(ErrorBoxText(hBox).find("Destination Package InfoDriver 302"), std::string::npos);
        DWORD dwStart = GetTickCount();
        Close(hDriver, bPost ? WM_CLOSE : MSG_CLOSE_REQUEST, bPost);
        EndsWithin(dwStart, 10000);
    }

    {
        SCOPED_TRACE("posted WM_CLOSE during the level map's initialisation");
        TearDown();
        SetUp();
        StartRvx();
        ASSERT_TRUE(StartSiteInfoDriver(&site, 0));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 1));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 2, "", "--answer-delay 5"));
        StartDriver();
        HWND hDriver = DriverWindow();
        ASSERT_NE(hDriver, nullptr);
        ASSERT_GE(WaitForLine(asInfoLog[2], {"INFO303 <- 2727"}, 30000), 0);
        DWORD dwStart = GetTickCount();
        Close(hDriver, WM_CLOSE, true);
        EndsWithin(dwStart, 10000);
        EXPECT_LT(CountLines(asInfoLog[2], {"INFO303 <- 2727"}), 4096);
    }

    {
        SCOPED_TRACE("2175 during a take with slow InfoDrivers");
        TearDown();
        SetUp();
        // Destination 1 carries source 2: the take reads the previous source too.
        std::string sIndex(8192, '\0');
        sIndex[1] = 2;
        ASSERT_TRUE(WriteTextFile(DataFile("DAT"), sIndex));
        StartRvx();
        ASSERT_TRUE(StartSiteInfoDriver(&site, 0, "", "--answer-delay 8000"));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 1, "", "--answer-delay 8000"));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 2));
        StartDriver();
        HWND hDriver = DriverWindow();
        ASSERT_NE(hDriver, nullptr);
        ASSERT_TRUE(StartedUp());
        HWND hPeer = CreateTextPeerWindow();
        ASSERT_NE(hPeer, nullptr);
        EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RC 201 1 1 ',1' 7"), 1);
        PumpFor(100);
        DWORD dwStart = GetTickCount();
        Close(hDriver, MSG_CLOSE_REQUEST, false);
        EndsWithin(dwStart, 15000);
        DestroyWindow(hPeer);
    }

    {
        SCOPED_TRACE("WM_CLOSE posted during an RF sweep through a slow RVX");
        TearDown();
        SetUp();
        StartRvx("--answer-delay 300");
        StartInfoDrivers();
        StartDriver();
        HWND hDriver = DriverWindow();
        ASSERT_NE(hDriver, nullptr);
        ASSERT_TRUE(StartedUp());
        HWND hPeer = CreateTextPeerWindow();
        ASSERT_NE(hPeer, nullptr);
        EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RF 201 7"), 1);
        ASSERT_GE(WaitForLine(sRvxLog, {"value=7 text=\"RR 201 002"}, 10000), 0);
        DWORD dwStart = GetTickCount();
        Close(hDriver, WM_CLOSE, true);
        EndsWithin(dwStart, 10000);
        EXPECT_LT(CountLines(sRvxLog, {"value=7 text=\"RR 201"}), 8);
        DestroyWindow(hPeer);
    }
}

// The end of the session during a take that waits for a slow InfoDriver:
// by the time WM_ENDSESSION returns, the idle InfoDrivers are unlinked, RVX
// is unregistered and the index file is written (it had gone); nothing
// reaches RVX after that, though the take's read is answered later, and the
// process ends.
TEST_F(DriverProcess, EndOfSessionShutsDownBeforeItReturns)
{
    StartRvx();
    ASSERT_TRUE(StartSiteInfoDriver(&site, 0, "1 1\n", "--answer-delay 4000"));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 1));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 2));
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(StartedUp());
    DeleteFileA(DataFile("DAT").c_str());
    HWND hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RC 201 1 1 ',1' 7"), 1);
    PumpFor(300);
    DWORD_PTR dwResult = 0;
    EXPECT_NE(SendMessageTimeoutA(hDriver, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 20000, &dwResult), 0);
    EXPECT_EQ(dwResult, 1u);
    DWORD dwStart = GetTickCount();
    EXPECT_NE(SendMessageTimeoutA(hDriver, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, &dwResult), 0);
    EXPECT_LT(GetTickCount() - dwStart, 10000u);
    // Looked at as soon as it has returned: the session may end the process now.
    EXPECT_TRUE(FileExists(DataFile("DAT")));
    int iUnregister = WaitForLine(sRvxLog, {"RVX <- 2186 unregister"}, 2000);
    EXPECT_GE(iUnregister, 0);
    // InfoDriver 301, busy with the take's read, cannot take its unlink in
    // the time the session leaves; the other two are unlinked.
    for (int i = 1; i < 3; ++i) EXPECT_GE(WaitForLine(asInfoLog[i], {"<- 2725"}, 2000), 0) << i;
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitForExit(driver.hProcess, 20000, &dwExit));
    EXPECT_EQ(ReceivedTexts(sRvxLog, iUnregister + 1,
                            {MSG_ROUTE_COMMAND, MSG_SWITCH_COMMAND, MSG_INFO_WRITE_COMMAND, MSG_REVERTIVE,
                             MSG_REVERTIVE_SERIES})
                  .size(),
              0u);
    DestroyWindow(hPeer);
}

// An RVX or an InfoDriver busy for 6 s when the driver looks for it is
// still found; an RVX that answers only after the driver gave up (its box is
// open) is ignored: no unregister, no file written.
TEST_F(DriverProcess, SlowRvxAtAttachIsWaitedForAndALateOneIgnored)
{
    StartRvx("--attach-delay 6000");
    ASSERT_TRUE(StartSiteInfoDriver(&site, 0));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 1, "", "--attach-delay 6000"));
    ASSERT_TRUE(StartSiteInfoDriver(&site, 2));
    StartDriver();
    ASSERT_NE(DriverWindow(), nullptr);
    ASSERT_TRUE(Registered());
    ASSERT_TRUE(StartedUp());
    ASSERT_TRUE(CloseSiteDriver(&site));

    TearDown();
    SetUp();
    WriteKnownFiles(DataFile("DAT"), DataFile("LCK"));
    std::string sIndex = ReadBinaryFile(DataFile("DAT")), sLock = ReadBinaryFile(DataFile("LCK"));
    StartRvx("--attach-delay 14000");
    StartDriver();
    HWND hBox = WaitForErrorBox(driver.dwPid, 30000);
    ASSERT_NE(hBox, nullptr);
    EXPECT_EQ(ErrorBoxText(hBox), "Cannot find KELM Interface Q7RVX.EXE");
    // RVX's late answer reaches the driver while its box is open.
    ASSERT_GE(WaitForLine(sRvxLog, {"RVX -> 2032"}, 20000), 0);
    PressErrorBoxOk(hBox);
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitForExit(driver.hProcess, 20000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186"}), 0);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2184"}), 0);
    EXPECT_EQ(ReadBinaryFile(DataFile("DAT")), sIndex);
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK")), sLock);
}

// A second driver for the same device is refused while the first runs. The
// first locks and routes meanwhile; the refused one, when its box is pressed,
// must not write the tables it read at its start over the first one's files.
TEST_F(DriverProcess, RefusedSecondDriverWritesNoFile)
{
    StartRvx();
    StartInfoDrivers();
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(StartedUp());
    StartedProcess second = StartProgram("zur.exe", "201", {"CC_ROOT=" + site.sRoot, "CC_SYSTEM=sys"});
    ASSERT_NE(second.hProcess, nullptr);
    HWND hBox = WaitForErrorBox(second.dwPid, 30000);
    ASSERT_NE(hBox, nullptr);
    EXPECT_EQ(ErrorBoxText(hBox), "Request refused - A driver has already registered this Id");

    HWND hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RL 201 3 3 1 0"), 1);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RC 201 12 5 ',---' 0"), 1);
    EXPECT_GE(WaitForLine(sRvxLog, {"RR 201 005 012"}, 10000), 0);
    DestroyWindow(hPeer);
    std::string sLock = ReadBinaryFile(DataFile("LCK"));
    ASSERT_EQ(sLock.size(), 4096u);
    ASSERT_EQ(sLock[2], 1);
    std::string sIndex = ReadBinaryFile(DataFile("DAT"));

    PressErrorBoxOk(hBox);
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitForExit(second.hProcess, 20000, &dwExit));
    EndProcess(&second);
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK")), sLock);
    EXPECT_EQ(ReadBinaryFile(DataFile("DAT")), sIndex);
    // The first one saves its route at its own close.
    ASSERT_TRUE(CloseSiteDriver(&site));
    std::string sData = ReadBinaryFile(DataFile("DAT"));
    ASSERT_EQ(sData.size(), 8192u);
    EXPECT_EQ(sData[9], 12);
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK"))[2], 1);
}

// A lock file held by another program at start is left as it is; once the
// driver changes its locks (here: an unlock), the file holds what the
// driver holds, so the old locks do not come back at the next start.
TEST_F(DriverProcess, UnlockAfterAHeldLockFileIsSaved)
{
    WriteKnownFiles(DataFile("DAT"), DataFile("LCK"));
    HANDLE hHold = CreateFileA(DataFile("LCK").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHold, INVALID_HANDLE_VALUE);
    StartRvx();
    StartInfoDrivers();
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(Registered());
    CloseHandle(hHold);
    ASSERT_TRUE(StartedUp());
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK"))[3], 1);
    HWND hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RL 201 4 4 0 0"), 1);
    EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, "RP 201 1 1 0"), 1);
    EXPECT_GE(WaitForLine(sRvxLog, {"RR 201 001"}, 10000), 0);
    DestroyWindow(hPeer);
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK")), std::string(4096, '\0'));
    ASSERT_TRUE(CloseSiteDriver(&site));
    EXPECT_EQ(ReadBinaryFile(DataFile("LCK")), std::string(4096, '\0'));
}

// A leftover second InfoDriver with the same device number answers the same
// 2724: the driver keeps the first that answered, names the second in its
// log, and reads its slots from one InfoDriver only.
TEST_F(DriverProcess, SecondInfoDriverForTheSameNumberIsNamedAndLeftAlone)
{
    WriteProfile("DatabaseSize_0=16\nDatabaseSize_1=16\n", 1);
    StartRvx();
    StartInfoDrivers();
    std::string sLeftoverLog = TempFile("info", "log");
    asLog.push_back(sLeftoverLog);
    StartedProcess leftover = StartProgram("infosim.exe", "302 --quiet --log \"" + sLeftoverLog + "\"");
    ASSERT_NE(WaitForWindow("InfoSim", "InfoDriver 302", leftover.dwPid, 20000), nullptr);
    ASSERT_TRUE(StartDebugCapture());
    StartDriver();
    HWND hDriver = DriverWindow();
    ASSERT_NE(hDriver, nullptr);
    ASSERT_TRUE(StartedUp());
    EXPECT_GE(WaitForDebugLine(driver.dwPid, {"<GR>-A second InfoDriver 302 answered"}, 5000), 0);
    HWND hPeer = CreateTextPeerWindow();
    ASSERT_NE(hPeer, nullptr);
    for (const char* pTake : {"RC 201 1 3 ',1' 0", "RC 201 2 4 ',1' 0"}) {
        EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, pTake), 1);
    }
    EXPECT_GE(WaitForLine(sRvxLog, {"RR 201 004 002"}, 10000), 0);
    DestroyWindow(hPeer);
    int nFirst = CountLines(asInfoLog[1], {"<- 2727"});
    int nLeftover = CountLines(sLeftoverLog, {"<- 2727"});
    EXPECT_EQ(nFirst + nLeftover, 2);
    EXPECT_TRUE(nFirst == 0 || nLeftover == 0) << nFirst << " " << nLeftover;
    ASSERT_TRUE(CloseSiteDriver(&site));
    EndProcess(&leftover);
}

}  // namespace
