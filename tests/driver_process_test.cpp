// The driver as a process: zur.exe 201 with the stand-in RVX and InfoDrivers,
// from attach and registration to the shut-down that a peer or the platform
// asks for.
#include "tests/support/site.h"

#include <gtest/gtest.h>

#include <cstdio>
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
        EXPECT_EQ(dwResult, 0u);
        DWORD dwExit = 99;
        ASSERT_TRUE(WaitForExit(driver.hProcess, 20000, &dwExit));
        EXPECT_EQ(dwExit, 0u);
        EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2186 unregister"}), 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(CountLines(asInfoLog[i], {"<- 2725"}), 1) << i;
        }
        EXPECT_TRUE(FileExists(DataFile("DAT")));
        EXPECT_TRUE(FileExists(DataFile("LCK")));
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
        {5, nullptr},
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
        if (c.pBox != nullptr) {
            ASSERT_EQ(asBox.size(), 1u);
            EXPECT_EQ(asBox[0], c.pBox);
        } else {
            EXPECT_TRUE(asBox.empty());
        }
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

TEST_F(DriverProcess, WithoutRvxOneBoxAndNothingWritten)
{
    // Only the leading number of a command line of any length counts.
    StartDriver(nullptr, " 201x" + std::string(3000, '9'));
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

}  // namespace
