// The operator panel of a running driver (zur.exe 201 with the stand-in RVX
// and InfoDrivers), read and operated from this process as another program
// would: its lists, texts and buttons, its menu commands and the About box.
#include "tests/support/site.h"
#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/messages.h"
#include "res/resource.h"

namespace {

const char kDriverTitle[] = "R7 Idoruzor v3.05.03 - Device 201";

std::string sRoot;
std::string sConfig;
std::string sRvxLog;
std::string sLevelMapLog;
std::vector<std::string> asFiles;
StartedProcess driver = {nullptr, 0};
StartedProcess rvx = {nullptr, 0};
StartedProcess info[3] = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
HWND hMain = nullptr;
HWND hPanel = nullptr;

std::string Text(int iControl)
{
    char acText[256] = "";
    GetDlgItemTextA(hPanel, iControl, acText, sizeof acText);
    return acText;
}

LRESULT Send(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(hWnd, uMessage, wParam, lParam, SMTO_NORMAL, 20000, &dwResult);
    return static_cast<LRESULT>(dwResult);
}

int Count(int iList)
{
    return static_cast<int>(Send(GetDlgItem(hPanel, iList), LB_GETCOUNT, 0, 0));
}

int Selection(int iList)
{
    return static_cast<int>(Send(GetDlgItem(hPanel, iList), LB_GETCURSEL, 0, 0));
}

// A list entry of the other process, read in wide characters (the form in
// which the platform carries list texts between processes).
std::string Entry(int iList, int iEntry)
{
    wchar_t awText[600] = L"";
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutW(GetDlgItem(hPanel, iList), LB_GETTEXT, static_cast<WPARAM>(iEntry),
                        reinterpret_cast<LPARAM>(awText), SMTO_NORMAL, 20000, &dwResult);
    char acText[600] = "";
    WideCharToMultiByte(CP_ACP, 0, awText, -1, acText, sizeof acText, nullptr, nullptr);
    return acText;
}

// An operator's choice in a list: the entry is selected and the panel told.
void Choose(int iList, int iEntry)
{
    HWND hList = GetDlgItem(hPanel, iList);
    Send(hList, LB_SETCURSEL, static_cast<WPARAM>(iEntry), 0);
    Send(hPanel, WM_COMMAND, MAKEWPARAM(iList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hList));
}

void Press(int iButton)
{
    Send(GetDlgItem(hPanel, iButton), BM_CLICK, 0, 0);
}

void Menu(int iCommand)
{
    Send(hMain, WM_COMMAND, static_cast<WPARAM>(iCommand), 0);
}

class PanelProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sRoot = TempFile("panelsite", "dir");
        sConfig = sRoot + "\\sys\\config\\system";
        std::string sLib = sRoot + "\\sys\\windows\\lib";
        for (const std::string& s : {sRoot, sRoot + "\\sys", sRoot + "\\sys\\config", sConfig,
                                     sRoot + "\\sys\\windows", sLib}) {
            CreateDirectoryA(s.c_str(), nullptr);
        }
        for (const char* pLib : {"BWCC32.DLL", "KELM_CC.DLL"}) {
            CopyFileA((ExeDir() + pLib).c_str(), (sLib + "\\" + pLib).c_str(), FALSE);
        }
        // Ten sources, twenty destinations; the panel's own mask "---" takes
        // levels 1 to 3, two forward routes and a reverse one.
        WriteTextFile(sConfig + "\\DEV_201.INI",
                      "[Database]\nDatabaseSize_0=10\nDatabaseSize_1=20\n"
                      "[Combiner]\nSrcePkgInfoId=301\nDestPkgInfoId=302\nLevelMapInfoId=303\n"
                      "DebugMode=0\nSaveDelay=5\nNameLength=8\nExternalDLL=NONE\n"
                      "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=R,R,103\n"
                      "[Masks]\nMask_01=---,1,2,3\n");
        // Destination 1 is routed from source 3.
        std::string sIndex(8192, '\0');
        sIndex[1] = 3;
        WriteTextFile(sConfig + "\\DEV_201.DAT", sIndex);

        std::string sNames = TempFile("names", "txt");
        std::string sSources = TempFile("sources", "txt");
        std::string sDests = TempFile("dests", "txt");
        WriteTextFile(sNames, "src 2 CAM 2\nsrc 3 CAM 3\nsrc 7 " + std::string(80, 'L') + "\ndst 5 MON 5\n");
        WriteTextFile(sSources, "2 2,12,22\n3 3,13,23\n");
        WriteTextFile(sDests, "1 31,41,51\n5 35,45,55\n");
        sRvxLog = TempFile("rvx", "log");
        sLevelMapLog = TempFile("info303", "log");
        asFiles = {sNames, sSources, sDests, sRvxLog, sLevelMapLog};

        rvx = StartProgram("rvxsim.exe", "--quiet --names \"" + sNames + "\" --log \"" + sRvxLog + "\"");
        ASSERT_NE(WaitForWindow("RvxSim", nullptr, rvx.dwPid, 20000), nullptr);
        const std::string asArgs[3] = {"301 --slots \"" + sSources + "\"", "302 --slots \"" + sDests + "\"",
                                       "303 --log \"" + sLevelMapLog + "\""};
        for (int i = 0; i < 3; ++i) {
            info[i] = StartProgram("infosim.exe", asArgs[i] + " --quiet");
            std::string sTitle = "InfoDriver " + std::to_string(301 + i);
            ASSERT_NE(WaitForWindow("InfoSim", sTitle.c_str(), info[i].dwPid, 20000), nullptr);
        }
        driver = StartProgram("zur.exe", "201", {"CC_ROOT=" + sRoot, "CC_SYSTEM=sys"});
        hMain = WaitForWindow("Q7CMBINE", kDriverTitle, driver.dwPid, 20000);
        ASSERT_NE(hMain, nullptr);
        // Start-up is complete once the level map InfoDriver is TX/RX.
        ASSERT_GE(WaitForLine(sLevelMapLog, {"INFO303 <- 2733", "wparam=3"}, 60000), 0);
        hPanel = FindWindowExA(hMain, nullptr, "BORDLG", nullptr);
        ASSERT_NE(hPanel, nullptr);
    }
    static void TearDownTestSuite()
    {
        EndProcess(&driver);
        EndProcess(&rvx);
        for (StartedProcess& p : info) EndProcess(&p);
        for (const std::string& s : asFiles) DeleteFileA(s.c_str());
        RemoveTree(sRoot);
    }
    void SetUp() override { ASSERT_NE(hPanel, nullptr); }
};

TEST_F(PanelProcess, StartShowsNamesRouteLockCountersAndInterface)
{
    ASSERT_EQ(Count(IDC_SOURCE_LIST), 10);
    ASSERT_EQ(Count(IDC_DEST_LIST), 20);
    EXPECT_EQ(Entry(IDC_SOURCE_LIST, 0), "SRC 0001");
    EXPECT_EQ(Entry(IDC_SOURCE_LIST, 2), "CAM 3");
    EXPECT_EQ(Entry(IDC_SOURCE_LIST, 6), std::string(64, 'L'));
    EXPECT_EQ(Entry(IDC_DEST_LIST, 4), "MON 5");
    EXPECT_EQ(Entry(IDC_DEST_LIST, 19), "DST 0020");
    RECT rc = {};
    Send(GetDlgItem(hPanel, IDC_DEST_LIST), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc));
    EXPECT_EQ(rc.right - rc.left, 72);

    EXPECT_EQ(Selection(IDC_SOURCE_LIST), 2);   // destination 1 routed from source 3
    EXPECT_EQ(Selection(IDC_DEST_LIST), LB_ERR);
    EXPECT_EQ(Text(IDC_LOCK), "Unlocked");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hPanel, IDC_TAKE)));
    EXPECT_EQ(Text(IDC_INTERFACE), "Tx/Rx");
    EXPECT_EQ(Text(IDC_COMMANDS_RX), "00000000");
    EXPECT_EQ(Text(IDC_DRIVER_TX), "00000000");
    EXPECT_EQ(Text(IDC_DRIVER_RX), "n/a");
    EXPECT_EQ(Text(IDC_INPUT), "- - -");
    EXPECT_EQ(Text(IDC_EXTERNAL), "");
    EXPECT_TRUE(IsIconic(hMain));
}

TEST_F(PanelProcess, DestinationThenSourceThenTakeRoutesThePackage)
{
    Choose(IDC_DEST_LIST, 4);
    Choose(IDC_SOURCE_LIST, 1);
    Press(IDC_TAKE);
    EXPECT_EQ(Text(IDC_INPUT), "RC 201 2 5 ',---' 0");
    ASSERT_EQ(Count(IDC_OUTPUT), 3);
    EXPECT_EQ(Entry(IDC_OUTPUT, 0), "RC 101 2 35 ',---' 0");
    EXPECT_EQ(Entry(IDC_OUTPUT, 2), "RC 103 55 22 ',---' 0");
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2124", "value=101", "text=\"RC 101 2 35 ',---' 0\""}, 5000), 0);
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2187"}, 5000), 0);
    EXPECT_EQ(Text(IDC_DRIVER_TX), "00000003");
    EXPECT_EQ(Selection(IDC_SOURCE_LIST), 1);   // now routed from source 2

    // Source first, then destination: the destination clears the choice.
    int nRoutes = CountLines(sRvxLog, {"RVX <- 2124"});
    Choose(IDC_SOURCE_LIST, 2);
    Choose(IDC_DEST_LIST, 0);
    Press(IDC_TAKE);
    PumpFor(300);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2124"}), nRoutes);
    EXPECT_EQ(Text(IDC_INPUT), "RC 201 2 5 ',---' 0");
}

TEST_F(PanelProcess, LockToggleLocksAndDisablesTake)
{
    Choose(IDC_DEST_LIST, 4);
    Press(IDC_LOCK);
    EXPECT_EQ(Text(IDC_LOCK), "Locked");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hPanel, IDC_TAKE)));
    int nRoutes = CountLines(sRvxLog, {"RVX <- 2124"});
    Choose(IDC_SOURCE_LIST, 2);
    Menu(IDM_TAKE);   // the bar's Take refuses a locked destination as well
    Press(IDC_TAKE);
    PumpFor(300);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2124"}), nRoutes);

    Press(IDC_LOCK);
    EXPECT_EQ(Text(IDC_LOCK), "Unlocked");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hPanel, IDC_TAKE)));
}

TEST_F(PanelProcess, ReceiveOnlyListsTheCommandsWithoutSending)
{
    Send(hMain, MSG_RX_ONLY_ORDER, 0, 201);
    EXPECT_EQ(Text(IDC_INTERFACE), "Rx Only");
    int nRoutes = CountLines(sRvxLog, {"RVX <- 2124"});
    Choose(IDC_DEST_LIST, 0);
    Choose(IDC_SOURCE_LIST, 1);
    Press(IDC_TAKE);
    EXPECT_EQ(Text(IDC_INPUT), "RC 201 2 1 ',---' 0");
    ASSERT_EQ(Count(IDC_OUTPUT), 4);
    EXPECT_EQ(Entry(IDC_OUTPUT, 0), "RX-Only would Tx...");
    EXPECT_EQ(Entry(IDC_OUTPUT, 1), "RC 101 2 31 ',---' 0");
    PumpFor(300);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2124"}), nRoutes);

    Send(hMain, MSG_TXRX_ORDER, 0, 201);
    EXPECT_EQ(Text(IDC_INTERFACE), "Tx/Rx");
}

TEST_F(PanelProcess, KeyboardControlDrivesTheLists)
{
    Send(GetDlgItem(hPanel, IDC_DEST_LIST), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ShowWindow(hMain, SW_RESTORE);   // a minimised window's lists take no focus
    PumpFor(200);
    Menu(IDM_KEYBOARD);
    EXPECT_EQ(Selection(IDC_DEST_LIST), 0);   // the first entry is highlighted
    // The destination list got the focus with nothing selected: Take from
    // the bar does nothing until a destination is current again.
    int nRoutes = CountLines(sRvxLog, {"RVX <- 2124"});
    Menu(IDM_TAKE);
    PumpFor(300);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2124"}), nRoutes);

    // Source Box: destination 1 becomes current as its list loses the focus,
    // and its routed source is chosen as the source list gains it.
    Menu(IDM_SOURCE_BOX);
    Menu(IDM_TAKE);
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2124", "RC 101 2 31 ',---' 0"}, 5000), 0);
    EXPECT_EQ(Text(IDC_INPUT), "RC 201 2 1 ',---' 0");
    Menu(IDM_KEYBOARD);
}

TEST_F(PanelProcess, AboutBoxOpensFromTheBarAndCloses)
{
    PostMessageA(hMain, WM_COMMAND, IDM_ABOUT, 0);
    HWND hAbout = WaitForWindow("BORDLG", "About", driver.dwPid, 10000);
    ASSERT_NE(hAbout, nullptr);
    // The box shows itself once its texts are in place.
    for (int i = 0; i < 200 && !IsWindowVisible(hAbout); ++i) PumpFor(25);
    ASSERT_TRUE(IsWindowVisible(hAbout));
    char acText[128] = "";
    GetDlgItemTextA(hAbout, IDC_ABOUT_VERSION, acText, sizeof acText);
    EXPECT_EQ(std::string(acText).compare(0, 18, "Version 3.05.03 - "), 0) << acText;
    GetDlgItemTextA(hAbout, IDC_ABOUT_BUILD, acText, sizeof acText);
    EXPECT_NE(std::string(acText).find(" - "), std::string::npos) << acText;
    // The driver goes on answering while the box is open.
    EXPECT_EQ(Text(IDC_DRIVER_RX), "n/a");
    PostMessageA(hAbout, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 100 && IsWindow(hAbout); ++i) PumpFor(50);
    EXPECT_FALSE(IsWindow(hAbout));
}

TEST_F(PanelProcess, NameChangesAreAskedForWithinEachList)
{
    int nAsked = CountLines(sRvxLog, {"RVX <- 2164"});
    Send(hMain, MSG_NAME_CHANGED, 0, MAKELPARAM(5, 1));
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2164", "database=1 index=5"}, 5000), 0);
    EXPECT_EQ(Entry(IDC_DEST_LIST, 4), "MON 5");
    Send(hMain, MSG_NAME_CHANGED, 0, MAKELPARAM(3, 0));
    EXPECT_EQ(Count(IDC_SOURCE_LIST), 10);
    EXPECT_EQ(Entry(IDC_SOURCE_LIST, 2), "CAM 3");
    // Outside the lists: a source beyond the ten sources, a destination
    // beyond twenty, package 0, a third database.
    Send(hMain, MSG_NAME_CHANGED, 0, MAKELPARAM(11, 0));
    Send(hMain, MSG_NAME_CHANGED, 0, MAKELPARAM(21, 1));
    Send(hMain, MSG_NAME_CHANGED, 0, MAKELPARAM(0, 1));
    Send(hMain, MSG_NAME_CHANGED, 0, MAKELPARAM(4, 2));
    PumpFor(300);
    EXPECT_EQ(CountLines(sRvxLog, {"RVX <- 2164"}), nAsked + 2);
    EXPECT_EQ(Count(IDC_SOURCE_LIST), 10);
    EXPECT_EQ(Count(IDC_DEST_LIST), 20);
}

}  // namespace
