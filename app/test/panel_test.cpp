// The operator panel in a test host: names from a fake RVX, the display of
// the current destination, the selection rules and the commands it builds.
#include "app/panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/menu.h"
#include "app/test/panel_host.h"
#include "command/events.h"
#include "config/files.h"
#include "core/log.h"
#include "ipc/counters.h"
#include "ipc/intake.h"
#include "res/resource.h"
#include "app/test_support.h"

namespace {

class OperatorPanel : public PanelFixture {};

TEST_F(OperatorPanel, ListsHoldOneNamePerPackageInPackageOrder)
{
    ASSERT_EQ(ListCount(IDC_SOURCE_LIST), 10);
    ASSERT_EQ(ListCount(IDC_DEST_LIST), 20);
    EXPECT_EQ(ListEntry(IDC_SOURCE_LIST, 0), "SRC 1");
    EXPECT_EQ(ListEntry(IDC_SOURCE_LIST, 9), "SRC 10");
    EXPECT_EQ(ListEntry(IDC_DEST_LIST, 0), "DST 1");
    EXPECT_EQ(ListEntry(IDC_DEST_LIST, 19), "DST 20");

    // The other way round, and a device number that needs both bytes.
    UsePanelProfile(300, 20, 10);
    OpenPanel();
    EXPECT_EQ(ListCount(IDC_SOURCE_LIST), 20);
    EXPECT_EQ(ListCount(IDC_DEST_LIST), 10);
    std::vector<NameRequest> v = TakeNameRequests();
    ASSERT_EQ(v.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(v[i].iDevice, 300);
        EXPECT_EQ(v[i].iDatabase, i < 20 ? 0 : 1);
        EXPECT_EQ(v[i].iIndex, i < 20 ? i + 1 : i - 19);
    }
}

TEST_F(OperatorPanel, LongNameIsShownCutTo64Characters)
{
    EXPECT_EQ(ListEntry(IDC_SOURCE_LIST, 6), std::string(64, 'L'));
    EXPECT_EQ(ListEntry(IDC_SOURCE_LIST, 7), "SRC 8");   // the next name is whole
}

TEST_F(OperatorPanel, ColumnsAreNinePixelsPerNameCharacter)
{
    for (int iList : {IDC_SOURCE_LIST, IDC_DEST_LIST}) {
        RECT rc = {};
        SendDlgItemMessageA(Panel().hWndDialog, iList, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc));
        EXPECT_EQ(rc.right - rc.left, 72);
    }
    // Widths the profile may give: a NameLength below 1 (an empty or
    // non-numeric key) counts as 8; none is wider than a 64-character name.
    const int aiCase[][2] = {{12, 108}, {0, 72}, {-5, 72}, {64, 576}, {2147483647, 576}};
    for (const auto& aCase : aiCase) {
        UsePanelProfile(12, 10, 20, "NameLength=" + std::to_string(aCase[0]) + "\n");
        OpenPanel();
        RECT rc = {};
        SendDlgItemMessageA(Panel().hWndDialog, IDC_DEST_LIST, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc));
        EXPECT_EQ(rc.right - rc.left, aCase[1]) << "NameLength " << aCase[0];
    }
}

TEST_F(OperatorPanel, StartShowsDestinationOneWithZeroCounters)
{
    for (int i = 0; i < 7; ++i) CountRevertiveSent();
    for (int i = 0; i < 8; ++i) CountCommandReceived();
    for (int i = 0; i < 9; ++i) CountDriverMessageSent();
    OnMenuCommand(IDM_KEYBOARD);
    ASSERT_EQ(KeyboardControlOn(), 1);
    const int iSelectedBefore = Panel().iSelectedSource;
    OpenPanel();

    // The main window was fitted to the panel, which it shows whole.
    RECT rcClient, rcPanel;
    GetClientRect(hWndMain, &rcClient);
    GetWindowRect(Panel().hWndDialog, &rcPanel);
    EXPECT_EQ(rcClient.right, rcPanel.right - rcPanel.left);
    EXPECT_EQ(rcClient.bottom, rcPanel.bottom - rcPanel.top);

    EXPECT_EQ(Panel().iCurrentDest, 1);
    EXPECT_EQ(Panel().iRoutedSource, 3);
    EXPECT_EQ(Panel().iSelectedSource, iSelectedBefore);       // untouched
    EXPECT_EQ(ListSelection(IDC_SOURCE_LIST), 2);      // routed source 3
    EXPECT_EQ(ListSelection(IDC_DEST_LIST), LB_ERR);   // left without a selection
    EXPECT_EQ(ControlText(IDC_LOCK), "Unlocked");
    EXPECT_EQ(StyleCode(IDC_LOCK), "/2B____");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Panel().hWndDialog, IDC_TAKE)));

    EXPECT_EQ(Counters().lRevertivesSent, 0);
    EXPECT_EQ(Counters().lCommandsReceived, 0);
    EXPECT_EQ(Counters().lDriverMessagesSent, 0);
    EXPECT_EQ(KeyboardControlOn(), 0);
    EXPECT_EQ(ControlText(IDC_REVERTIVES_TX), "00000000");
    EXPECT_EQ(ControlText(IDC_COMMANDS_RX), "00000000");
    EXPECT_EQ(ControlText(IDC_DRIVER_TX), "00000000");
    EXPECT_EQ(ControlText(IDC_DRIVER_RX), "n/a");
    EXPECT_EQ(ControlText(IDC_EXTERNAL), "");
}

TEST_F(OperatorPanel, UnroutedDestinationHighlightsNoSource)
{
    for (int iRouted : {0, -1, 11}) {
        SetRoute(1, iRouted);
        OpenPanel();
        EXPECT_EQ(ListSelection(IDC_SOURCE_LIST), LB_ERR) << iRouted;
    }
}

TEST_F(OperatorPanel, LockedDestinationDisablesTake)
{
    SetLocks(1, 1, 1);
    OpenPanel();
    EXPECT_EQ(ControlText(IDC_LOCK), "Locked");
    EXPECT_EQ(StyleCode(IDC_LOCK), "/1B____");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Panel().hWndDialog, IDC_TAKE)));
    int iLockedFace = ButtonFace(IDC_LOCK);

    SetLocks(1, 1, 0);
    UpdateLockDisplay();
    EXPECT_EQ(ControlText(IDC_LOCK), "Unlocked");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Panel().hWndDialog, IDC_TAKE)));
    EXPECT_NE(ButtonFace(IDC_LOCK), iLockedFace);

    // Caption and style code are remembered apart: locking again restores both.
    SetLocks(1, 1, 1);
    UpdateLockDisplay();
    EXPECT_EQ(ControlText(IDC_LOCK), "Locked");
    EXPECT_EQ(StyleCode(IDC_LOCK), "/1B____");
    EXPECT_EQ(ButtonFace(IDC_LOCK), iLockedFace);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Panel().hWndDialog, IDC_TAKE)));
}

TEST_F(OperatorPanel, LoadedExternalLibraryIsNamed)
{
    UsePanelProfile(12, 10, 20, "NameLength=8\nExternalDLL=kernel32.dll\n");
    LoadExternalLibrary();
    OpenPanel();
    ReleaseExternalLibrary();
    EXPECT_EQ(ControlText(IDC_EXTERNAL), "kernel32.dll loaded");
}

TEST_F(OperatorPanel, RefreshNameReplacesOneEntry)
{
    RenameAll(true);
    RefreshName(3, 1);
    EXPECT_EQ(ListEntry(IDC_DEST_LIST, 2), "DST 3 v2");
    EXPECT_EQ(ListEntry(IDC_DEST_LIST, 1), "DST 2");
    EXPECT_EQ(ListEntry(IDC_DEST_LIST, 3), "DST 4");
    EXPECT_EQ(ListCount(IDC_DEST_LIST), 20);

    RefreshName(10, 0);
    EXPECT_EQ(ListEntry(IDC_SOURCE_LIST, 9), "SRC 10 v2");
    EXPECT_EQ(ListCount(IDC_SOURCE_LIST), 10);

    std::vector<NameRequest> v = TakeNameRequests();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].iDevice, 12);
    EXPECT_EQ(v[0].iDatabase, 1);
    EXPECT_EQ(v[0].iIndex, 3);
    EXPECT_EQ(v[1].iDatabase, 0);
    EXPECT_EQ(v[1].iIndex, 10);
}

TEST_F(OperatorPanel, RefreshNameOutsideItsListChangesNothing)
{
    RenameAll(true);
    RefreshName(3, 2);    // no such database
    RefreshName(0, 1);
    RefreshName(21, 1);   // beyond the destinations
    RefreshName(11, 0);   // beyond the sources, within the destinations
    RefreshName(15, 0);
    EXPECT_TRUE(TakeNameRequests().empty());
    EXPECT_EQ(ListCount(IDC_SOURCE_LIST), 10);
    EXPECT_EQ(ListCount(IDC_DEST_LIST), 20);
    EXPECT_EQ(ListEntry(IDC_SOURCE_LIST, 9), "SRC 10");
    EXPECT_EQ(ListEntry(IDC_DEST_LIST, 19), "DST 20");
}

TEST_F(OperatorPanel, ChoosingDestinationShowsItsRouteAndClearsTheSourceChoice)
{
    ClickListEntry(IDC_SOURCE_LIST, 1);
    EXPECT_EQ(Panel().iSelectedSource, 2);
    ClickListEntry(IDC_DEST_LIST, 4);
    EXPECT_EQ(Panel().iCurrentDest, 5);
    EXPECT_EQ(Panel().iSelectedSource, -1);
    EXPECT_EQ(ListSelection(IDC_SOURCE_LIST), 3);   // routed source 4

    ClickButton(IDC_TAKE);
    EXPECT_FALSE(Contains(TakeDebugLines(), "RC "));
}

TEST_F(OperatorPanel, DestinationThenSourceThenTakeDispatchesTheTake)
{
    ClickListEntry(IDC_DEST_LIST, 4);
    ClickListEntry(IDC_SOURCE_LIST, 1);
    EXPECT_EQ(Panel().iCurrentDest, 5);
    EXPECT_EQ(Panel().iSelectedSource, 2);

    TakeDebugLines();
    ClickButton(IDC_TAKE);
    EXPECT_TRUE(Contains(TakeDebugLines(), "Parsing - [RC 12 2 5 ',---' 0]"));
}

TEST_F(OperatorPanel, NoCurrentDestinationMakesTakeAndLockDoNothing)
{
    ClickListEntry(IDC_SOURCE_LIST, 1);
    // The destination list gains the focus with nothing selected in it.
    SendMessageA(Panel().hWndDialog, WM_COMMAND, MAKEWPARAM(IDC_DEST_LIST, LBN_SETFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(Panel().hWndDialog, IDC_DEST_LIST)));
    EXPECT_EQ(Panel().iCurrentDest, -1);
    EXPECT_EQ(Panel().iSelectedSource, 2);
    EXPECT_EQ(ControlText(IDC_LOCK), "Unlocked");   // the display keeps what it showed

    TakeDebugLines();
    TakeSelected();
    ToggleLock();
    UpdateLockDisplay();
    std::vector<std::string> asLines = TakeDebugLines();
    EXPECT_FALSE(Contains(asLines, "RC "));
    EXPECT_FALSE(Contains(asLines, "RL "));
    EXPECT_EQ(ListSelection(IDC_SOURCE_LIST), 1);
}

TEST_F(OperatorPanel, LockToggleSendsLockThenUnlock)
{
    ClickListEntry(IDC_DEST_LIST, 4);
    TakeDebugLines();
    ClickButton(IDC_LOCK);
    EXPECT_TRUE(Contains(TakeDebugLines(), "Parsing - [RL 12 5 5 1 0]"));
    EXPECT_EQ(Routes().abLock[5], 1);
    EXPECT_EQ(ControlText(IDC_LOCK), "Locked");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Panel().hWndDialog, IDC_TAKE)));

    ClickButton(IDC_LOCK);
    EXPECT_TRUE(Contains(TakeDebugLines(), "Parsing - [RL 12 5 5 0 0]"));
    EXPECT_EQ(Routes().abLock[5], 0);
    EXPECT_EQ(ControlText(IDC_LOCK), "Unlocked");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Panel().hWndDialog, IDC_TAKE)));
}

TEST_F(OperatorPanel, MovedPanelReturnsToTheCorner)
{
    RECT rcBefore;
    GetWindowRect(Panel().hWndDialog, &rcBefore);
    MoveWindow(Panel().hWndDialog, 30, 40, 100, 100, TRUE);
    Pump(10);
    RECT rc;
    GetWindowRect(Panel().hWndDialog, &rc);
    MapWindowPoints(HWND_DESKTOP, hWndMain, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_EQ(rc.bottom - rc.top, 100);
    EXPECT_GT(rcBefore.right - rcBefore.left, 100);
}

TEST_F(OperatorPanel, SystemCommandsGoToTheMainWindow)
{
    SendMessageA(Panel().hWndDialog, WM_SYSCOMMAND, static_cast<WPARAM>(0x70000) | SC_CLOSE, 5);
    EXPECT_EQ(LastSysCommand(), static_cast<WPARAM>(SC_CLOSE));
}

// Counts revertives until the counter shows n, and tells the panel.
void CountRevertivesTo(long n)
{
    while (Counters().lRevertivesSent < n) CountRevertiveSent();
    TellCountersChanged();
}

// What the command layer does reaches the panel through its events; the
// counters are read from their owner.
TEST_F(OperatorPanel, OtherPartsReachThePanelThroughTheCommandEvents)
{
    SetPanelText(IDC_INPUT, "RC 12 2 5 ',---' 0");
    EXPECT_EQ(ControlText(IDC_INPUT), "RC 12 2 5 ',---' 0");

    // The figures of each command wait for the refresh.
    CountRevertivesTo(42);
    TellCommandShown("RC 12 3 5 ',---' 0");
    TellOutputLine("RC 3 2 5 0");
    TellOutputLine("GS 4 1 5");
    EXPECT_EQ(ControlText(IDC_REVERTIVES_TX), "00000000");
    EXPECT_EQ(ControlText(IDC_INPUT), "RC 12 2 5 ',---' 0");
    EXPECT_EQ(ListCount(IDC_OUTPUT), 0);
    RefreshPanel();
    EXPECT_EQ(ControlText(IDC_REVERTIVES_TX), "00000042");
    EXPECT_EQ(ControlText(IDC_INPUT), "RC 12 3 5 ',---' 0");
    EXPECT_EQ(ListCount(IDC_OUTPUT), 2);
    EXPECT_EQ(ListEntry(IDC_OUTPUT, 1), "GS 4 1 5");   // in order, unsorted

    // A later take's list replaces the last one's; the timer refreshes
    // without being asked.
    TellOutputCleared();
    TellOutputLine("IW 5 1 5");
    CountRevertivesTo(43);
    Pump(400);
    EXPECT_EQ(ListCount(IDC_OUTPUT), 1);
    EXPECT_EQ(ListEntry(IDC_OUTPUT, 0), "IW 5 1 5");
    EXPECT_EQ(ControlText(IDC_REVERTIVES_TX), "00000043");
    TellOutputCleared();
    RefreshPanel();
    EXPECT_EQ(ListCount(IDC_OUTPUT), 0);

    // A text written at once is not overwritten by an older one waiting.
    TellCommandShown("RC 12 4 5 ',---' 0");
    SetPanelText(IDC_INPUT, "- - -");
    RefreshPanel();
    EXPECT_EQ(ControlText(IDC_INPUT), "- - -");

    // Without a panel the helpers do nothing.
    ClosePanel();
    SetPanelText(IDC_INPUT, "x");
    CountCommandReceived();
    TellCountersChanged();
    TellCommandShown("x");
    TellOutputLine("x");
    TellOutputCleared();
    ShowDriverState();
    RefreshPanel();
    UpdateLockDisplay();
    RefreshName(3, 1);

    // A new panel is written afresh, even with the texts the last one had.
    OpenPanel();
    SetPanelText(IDC_INPUT, "RC 12 2 5 ',---' 0");
    EXPECT_EQ(ControlText(IDC_INPUT), "RC 12 2 5 ',---' 0");
    CountRevertivesTo(42);
    RefreshPanel();
    EXPECT_EQ(ControlText(IDC_REVERTIVES_TX), "00000042");
}

TEST_F(OperatorPanel, TemplateHasItsThirtyControlsInOrder)
{
    struct Expected {
        int iId;
        const char* pClass;
    };
    const Expected asControl[] = {
        {-1, "BorShade"}, {-1, "BorShade"}, {208, "BorShade"}, {-1, "Static"}, {-1, "Static"},
        {1101, "Static"}, {-1, "Static"}, {1102, "Static"}, {204, "BorShade"}, {-1, "Static"},
        {1001, "ListBox"}, {1003, "TAV_CC_Button"}, {1004, "TAV_CC_Button"}, {-1, "Static"},
        {1002, "ListBox"}, {-1, "BorShade"}, {-1, "Static"}, {1005, "TAV_CC_Button"}, {-1, "Static"},
        {1009, "Static"}, {-1, "BorShade"}, {-1, "Static"}, {1010, "ListBox"}, {-1, "Static"},
        {-1, "Static"}, {1103, "Static"}, {-1, "Static"}, {1104, "Static"}, {-1, "BorShade"},
        {1011, "Static"}};
    int n = 0;
    for (HWND h = GetWindow(Panel().hWndDialog, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT), ++n) {
        ASSERT_LT(n, 30);
        char acClass[64] = "";
        GetClassNameA(h, acClass, sizeof acClass);
        EXPECT_EQ(static_cast<short>(GetDlgCtrlID(h)), asControl[n].iId) << n;
        EXPECT_STRCASEEQ(acClass, asControl[n].pClass) << n;
        LONG lStyle = GetWindowLongA(h, GWL_STYLE);
        EXPECT_EQ(lStyle & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE) << n;
        if (_stricmp(acClass, "Static") == 0) {
            EXPECT_TRUE(lStyle & WS_GROUP) << n;
        }
    }
    EXPECT_EQ(n, 30);

    const LONG lNames = WS_BORDER | WS_HSCROLL | WS_TABSTOP | LBS_MULTICOLUMN | LBS_DISABLENOSCROLL |
                        LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
    for (int iList : {IDC_SOURCE_LIST, IDC_DEST_LIST}) {
        HWND hList = GetDlgItem(Panel().hWndDialog, iList);
        EXPECT_EQ(GetWindowLongA(hList, GWL_STYLE) & lNames & ~WS_BORDER, lNames & ~WS_BORDER);
        // The dialog manager turns a border into a sunken edge.
        EXPECT_TRUE((GetWindowLongA(hList, GWL_STYLE) & WS_BORDER) ||
                    (GetWindowLongA(hList, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    }
    EXPECT_EQ(GetWindowLongA(GetDlgItem(Panel().hWndDialog, IDC_OUTPUT), GWL_STYLE) & LBS_SORT, 0);
    EXPECT_EQ(ControlText(IDC_INTERFACE), "- -");
    EXPECT_EQ(ControlText(IDC_INPUT), "- - -");
    EXPECT_EQ(ControlText(IDC_TAKE), "Take");
}

}  // namespace
