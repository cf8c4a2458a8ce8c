// The driver as a process: zur.exe 201 with the stand-in RVX and InfoDrivers,
// from attach and registration to the shut-down that a peer or the platform
// asks for.
#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipc/transport.h"

namespace {

const char kDriverTitle[] = "R7 Idoruzor v3.05.03 - Device 201";

void RemoveTree(const std::string& sDir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((sDir + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string sName = fd.cFileName;
            if (sName == "." || sName == "..") continue;
            std::string sPath = sDir + "\\" + sName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(sPath);
            } else {
                DeleteFileA(sPath.c_str());
            }
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryA(sDir.c_str());
}

bool FileExists(const std::string& sPath)
{
    return GetFileAttributesA(sPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A window of this test that speaks the request/reply transport.
LRESULT CALLBACK TextPeerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

class DriverProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        sRoot = TempFile("site", "dir");
        sConfig = sRoot + "\\sys\\config\\system";
        std::string sLib = sRoot + "\\sys\\windows\\lib";
        for (const std::string& s : {sRoot, sRoot + "\\sys", sRoot + "\\sys\\config", sConfig,
                                     sRoot + "\\sys\\windows", sLib}) {
            CreateDirectoryA(s.c_str(), nullptr);
        }
        for (const char* pLib : {"BWCC32.DLL", "KELM_CC.DLL"}) {
            CopyFileA((ExeDir() + pLib).c_str(), (sLib + "\\" + pLib).c_str(), FALSE);
        }
        WriteProfile("DatabaseSize_0=16\nDatabaseSize_1=16\n");
    }
    void TearDown() override
    {
        EndProcess(&driver);
        EndProcess(&rvx);
        for (StartedProcess& p : info) EndProcess(&p);
        for (const std::string& s : asLog) DeleteFileA(s.c_str());
        RemoveTree(sRoot);
    }
    void WriteProfile(const std::string& sDatabase)
    {
        ASSERT_TRUE(WriteTextFile(sConfig + "\\DEV_201.INI",
                                  "[Database]\n" + sDatabase +
                                      "[Combiner]\nSrcePkgInfoId=301\nDestPkgInfoId=302\nLevelMapInfoId=303\n"
                                      "DebugMode=0\nSaveDelay=5\nExternalDLL=NONE\n"));
    }
    void StartRvx(const std::string& sMore = "")
    {
        sRvxLog = TempFile("rvx", "log");
        asLog.push_back(sRvxLog);
        rvx = StartProgram("rvxsim.exe", "--quiet --log \"" + sRvxLog + "\" " + sMore);
        ASSERT_NE(WaitForWindow("RvxSim", nullptr, rvx.dwPid, 20000), nullptr);
    }
    void StartInfoDrivers()
    {
        for (int i = 0; i < 3; ++i) {
            asInfoLog[i] = TempFile("info", "log");
            asLog.push_back(asInfoLog[i]);
            std::string sDevice = std::to_string(301 + i);
            info[i] = StartProgram("infosim.exe", sDevice + " --quiet --log \"" + asInfoLog[i] + "\"");
            ASSERT_NE(WaitForWindow("InfoSim", ("InfoDriver " + sDevice).c_str(), info[i].dwPid, 20000), nullptr);
        }
    }
    void StartDriver(const char* pLibToDrop = nullptr)
    {
        if (pLibToDrop != nullptr) DeleteFileA((sRoot + "\\sys\\windows\\lib\\" + pLibToDrop).c_str());
        driver = StartProgram("zur.exe", "201", {"CC_ROOT=" + sRoot, "CC_SYSTEM=sys"});
        ASSERT_NE(driver.hProcess, nullptr);
    }
    // The driver's main window, once start-up has given it its title.
    HWND DriverWindow() { return WaitForWindow("Q7CMBINE", kDriverTitle, driver.dwPid, 20000); }
    // Reads and presses every box the driver shows until it ends.
    std::vector<std::string> BoxesUntilExit(DWORD* pdwExit)
    {
        std::vector<std::string> asText;
        for (int i = 0; i < 10; ++i) {
            HWND hBox = WaitForErrorBox(driver.dwPid, 1500);
            if (hBox != nullptr) {
                asText.push_back(ErrorBoxText(hBox));
                PressErrorBoxOk(hBox);
                PumpFor(200);
            }
            if (WaitForExit(driver.hProcess, hBox != nullptr ? 500 : 3000, pdwExit)) return asText;
        }
        ADD_FAILURE() << "the driver did not end";
        return asText;
    }
    bool Registered()
    {
        return WaitForLine(sRvxLog, {"RVX <- 2184 register", "lparam=32969", "result=0"}, 30000) >= 0;
    }
    // Start-up is complete once the level map InfoDriver has been brought to TX/RX.
    bool StartedUp()
    {
        return WaitForLine(asInfoLog[2], {"INFO303 <- 2733", "wparam=3"}, 60000) >= 0;
    }
    std::string DataFile(const char* pExt) { return sConfig + "\\DEV_201." + pExt; }

    std::string sRoot;
    std::string sConfig;
    std::string sRvxLog;
    std::string asInfoLog[3];
    std::vector<std::string> asLog;
    StartedProcess driver = {nullptr, 0};
    StartedProcess rvx = {nullptr, 0};
    StartedProcess info[3] = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
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
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TextPeerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DriverProcessPeer";
    RegisterClassA(&wc);
    HWND hPeer = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
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
        StartRvx("--register-answer " + std::to_string(c.iCode));
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
    }
}

TEST_F(DriverProcess, WithoutRvxOneBoxAndNothingWritten)
{
    StartDriver();
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

}  // namespace
