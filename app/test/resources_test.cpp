// The resources built into zur.exe: menu, icon, dialogs and version.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"

namespace {

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char acPath[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, acPath, sizeof acPath);
        std::string s(acPath, n);
        s = s.substr(0, s.find_last_of("\\/") + 1) + "zur.exe";
        hExe = LoadLibraryExA(s.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite()
    {
        if (hExe != nullptr) FreeLibrary(hExe);
    }
    static HMODULE hExe;
};
HMODULE Resources::hExe = nullptr;

std::string ItemText(HMENU hMenu, UINT uItem, UINT uFlag)
{
    char ac[64] = {};
    GetMenuStringA(hMenu, uItem, ac, sizeof ac, uFlag);
    return ac;
}

}  // namespace

TEST_F(Resources, MenuBarInItsOrder)
{
    ASSERT_NE(hExe, nullptr);
    HMENU hMenu = LoadMenuA(hExe, "Menu");
    ASSERT_NE(hMenu, nullptr);
    ASSERT_EQ(GetMenuItemCount(hMenu), 8);
    const struct {
        const char* pText;
        int iId;   // -1 for a pop-up
    } aBar[] = {{"&File", -1},           {"&Clear Errors", IDM_CLEAR_ERRORS}, {"&Keyboard", -1},
                {"&Source Box", IDM_SOURCE_BOX}, {"&Dest Box", IDM_DEST_BOX}, {"&Take", IDM_TAKE},
                {"&Lock", IDM_LOCK},     {"&About", IDM_ABOUT}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ItemText(hMenu, i, MF_BYPOSITION), aBar[i].pText);
        EXPECT_EQ(static_cast<int>(GetMenuItemID(hMenu, i)), aBar[i].iId) << aBar[i].pText;
        EXPECT_EQ(GetMenuState(hMenu, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u);
    }
    HMENU hFile = GetSubMenu(hMenu, 0);
    ASSERT_EQ(GetMenuItemCount(hFile), 1);
    EXPECT_EQ(GetMenuItemID(hFile, 0), static_cast<UINT>(IDM_EXIT));
    EXPECT_EQ(ItemText(hFile, 0, MF_BYPOSITION), "E&xit");
    HMENU hKeyboard = GetSubMenu(hMenu, 2);
    ASSERT_EQ(GetMenuItemCount(hKeyboard), 1);
    EXPECT_EQ(GetMenuItemID(hKeyboard, 0), static_cast<UINT>(IDM_KEYBOARD));
    EXPECT_EQ(ItemText(hKeyboard, 0, MF_BYPOSITION), "&Enable Keyboard Control");
    DestroyMenu(hMenu);
}

TEST_F(Resources, IconDialogsAndVersion)
{
    ASSERT_NE(hExe, nullptr);
    HANDLE hIcon = LoadImageA(hExe, "grdicon", IMAGE_ICON, 32, 32, 0);
    ASSERT_NE(hIcon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(static_cast<HICON>(hIcon), &info));
    BITMAP bm = {};
    GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    DestroyIcon(static_cast<HICON>(hIcon));

    EXPECT_NE(FindResourceA(hExe, "MAINDIALOG", MAKEINTRESOURCEA(5)), nullptr);   // RT_DIALOG
    EXPECT_NE(FindResourceA(hExe, "ABOUT", MAKEINTRESOURCEA(5)), nullptr);

    HRSRC hVersion = FindResourceA(hExe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));   // RT_VERSION
    ASSERT_NE(hVersion, nullptr);
    const char* pData = static_cast<const char*>(LockResource(LoadResource(hExe, hVersion)));
    std::string sData(pData, SizeofResource(hExe, hVersion));
    const char acWide[] = "3\0.\0" "0\0" "5\0.\0" "0\0" "3\0";
    EXPECT_NE(sData.find(std::string(acWide, sizeof acWide - 1)), std::string::npos);
}
