// The menu bar's commands on the panel, and the About box.
#include "app/menu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <thread>

#include "app/panel.h"
#include "app/test/panel_host.h"
#include "config/files.h"
#include "ipc/intake.h"
#include "res/resource.h"
#include "app/test_support.h"

namespace {

class Menu : public PanelFixture {
protected:
    static UINT State(int iItem) { return GetMenuState(GetMenu(hWndMain), iItem, MF_BYCOMMAND); }
    static bool Greyed(int iItem) { return (State(iItem) & MF_GRAYED) != 0; }
    static bool Checked(int iItem) { return (State(iItem) & MF_CHECKED) != 0; }
};

TEST_F(Menu, KeyboardControlSwitchesItemsAndFocusesTheDestinationList)
{
    HWND hDest = GetDlgItem(Panel().hWndDialog, IDC_DEST_LIST);
    EXPECT_EQ(KeyboardControlOn(), 0);

    OnMenuCommand(IDM_KEYBOARD);
    EXPECT_EQ(KeyboardControlOn(), 1);
    EXPECT_TRUE(Checked(IDM_KEYBOARD));
    for (int iItem = IDM_SOURCE_BOX; iItem <= IDM_LOCK; ++iItem) EXPECT_FALSE(Greyed(iItem)) << iItem;
    EXPECT_EQ(GetFocus(), hDest);
    EXPECT_EQ(ListSelection(IDC_DEST_LIST), 0);
    // The focus arrived while nothing was selected: no current destination.
    EXPECT_EQ(Panel().iCurrentDest, -1);

    OnMenuCommand(IDM_KEYBOARD);
    EXPECT_EQ(KeyboardControlOn(), 0);
    EXPECT_FALSE(Checked(IDM_KEYBOARD));
    for (int iItem = IDM_SOURCE_BOX; iItem <= IDM_LOCK; ++iItem) EXPECT_TRUE(Greyed(iItem)) << iItem;
    EXPECT_EQ(GetFocus(), hDest);
    EXPECT_FALSE(Greyed(IDM_KEYBOARD));
    EXPECT_FALSE(Greyed(IDM_ABOUT));
}

TEST_F(Menu, SourceBoxChoosesTheRoutedSourceSoTakeRepeatsTheRoute)
{
    OnMenuCommand(IDM_KEYBOARD);   // focus in the destination list, entry 0 highlighted
    OnMenuCommand(IDM_SOURCE_BOX);
    EXPECT_EQ(Panel().iCurrentDest, 1);   // the destination list lost the focus with entry 0 selected
    EXPECT_EQ(Panel().iSelectedSource, 3);
    EXPECT_EQ(GetFocus(), GetDlgItem(Panel().hWndDialog, IDC_SOURCE_LIST));
    TakeDebugLines();
    OnMenuCommand(IDM_TAKE);
    EXPECT_TRUE(Contains(TakeDebugLines(), "Parsing - [RC 12 3 1 ',---' 0]"));
}

TEST_F(Menu, SourceBoxWithoutRouteHighlightsTheFirstEntry)
{
    SetRoute(1, 0);
    OpenPanel();
    OnMenuCommand(IDM_SOURCE_BOX);
    EXPECT_EQ(GetFocus(), GetDlgItem(Panel().hWndDialog, IDC_SOURCE_LIST));
    EXPECT_EQ(ListSelection(IDC_SOURCE_LIST), 0);
    EXPECT_EQ(Panel().iSelectedSource, -1);   // chosen only by the next selection change
}

TEST_F(Menu, TakeFromTheBarRefusesALockedOrMissingDestination)
{
    ClickListEntry(IDC_DEST_LIST, 4);
    ClickListEntry(IDC_SOURCE_LIST, 1);
    ASSERT_EQ(Panel().iCurrentDest, 5);
    ASSERT_EQ(Panel().iSelectedSource, 2);
    SetLocks(5, 5, 1);
    TakeDebugLines();
    OnMenuCommand(IDM_TAKE);
    EXPECT_FALSE(Contains(TakeDebugLines(), "RC "));

    SetLocks(5, 5, 0);
    // The destination list gains the focus with nothing selected in it.
    SendDlgItemMessageA(Panel().hWndDialog, IDC_DEST_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(Panel().hWndDialog, WM_COMMAND, MAKEWPARAM(IDC_DEST_LIST, LBN_SETFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(Panel().hWndDialog, IDC_DEST_LIST)));
    ASSERT_EQ(Panel().iCurrentDest, -1);
    OnMenuCommand(IDM_TAKE);
    EXPECT_FALSE(Contains(TakeDebugLines(), "RC "));

    ClickListEntry(IDC_DEST_LIST, 4);
    ClickListEntry(IDC_SOURCE_LIST, 1);
    ASSERT_EQ(Panel().iCurrentDest, 5);
    OnMenuCommand(IDM_TAKE);
    EXPECT_TRUE(Contains(TakeDebugLines(), "Parsing - [RC 12 2 5 ',---' 0]"));
}

TEST_F(Menu, ClearErrorsAndUnknownCommandsDoNothing)
{
    int iDest = Panel().iCurrentDest;
    OnMenuCommand(IDM_CLEAR_ERRORS);
    OnMenuCommand(12345);
    OnMenuCommand(MAKEWPARAM(IDM_KEYBOARD, 1));   // not a menu command: the whole wParam counts
    EXPECT_EQ(KeyboardControlOn(), 0);
    EXPECT_EQ(Panel().iCurrentDest, iDest);
    EXPECT_FALSE(Checked(IDM_KEYBOARD));
    EXPECT_TRUE(TakeDebugLines().empty());
}

// Reads the About box from another thread and closes it with one command.
struct AboutSeen {
    bool bFound = false;
    std::string sBuild;
    std::string sVersion;
};

AboutSeen OpenAndCloseAbout(WPARAM wClose)
{
    AboutSeen seen;
    std::thread closer([&seen, wClose] {
        for (int i = 0; i < 500 && !seen.bFound; ++i) {
            HWND hBox = FindWindowA("BORDLG", "About");
            if (hBox != nullptr && IsWindowVisible(hBox)) {
                char acText[128] = "";
                GetDlgItemTextA(hBox, IDC_ABOUT_BUILD, acText, sizeof acText);
                seen.sBuild = acText;
                GetDlgItemTextA(hBox, IDC_ABOUT_VERSION, acText, sizeof acText);
                seen.sVersion = acText;
                seen.bFound = true;
                PostMessageA(hBox, WM_COMMAND, wClose, 0);
            }
            Sleep(10);
        }
    });
    OnMenuCommand(IDM_ABOUT);   // returns when the box is closed
    closer.join();
    return seen;
}

TEST_F(Menu, AboutShowsBuildAndVersionAndClosesOnOkOrCancel)
{
    AboutSeen seen = OpenAndCloseAbout(IDOK);
    ASSERT_TRUE(seen.bFound);
    EXPECT_TRUE(std::regex_match(seen.sBuild,
                                 std::regex("[A-Z][a-z]{2} [1-9][0-9]? [0-9]{4} - [0-2][0-9]:[0-5][0-9]:[0-6][0-9]")))
        << seen.sBuild;
    EXPECT_EQ(seen.sVersion.compare(0, 18, "Version 3.05.03 - "), 0) << seen.sVersion;
    EXPECT_GT(seen.sVersion.size(), 18u);
    EXPECT_LT(seen.sVersion.size(), 64u);

    EXPECT_TRUE(OpenAndCloseAbout(IDCANCEL).bFound);
    EXPECT_EQ(FindWindowA("BORDLG", "About"), nullptr);
}

}  // namespace
