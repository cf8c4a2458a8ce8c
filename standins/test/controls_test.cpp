// The stand-in control libraries and the example filter, loaded from the
// directory of this test as the driver loads them: BWCC32.DLL ("BORDLG",
// "BorShade"), KELM_CC.DLL ("TAV_CC_Button") and zurfilter.dll.
#include "standins/bwcc32/bwcc_api.h"
#include "standins/filter/filter_api.h"
#include "standins/kelm_cc/tav_button.h"

#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<WPARAM> awCommand;   // WM_COMMAND wparams that reached the parent

INT_PTR CALLBACK TestDlgProc(HWND, UINT uMsg, WPARAM wParam, LPARAM)
{
    if (uMsg == WM_INITDIALOG) return TRUE;
    if (uMsg == WM_COMMAND) {
        awCommand.push_back(wParam);
        return TRUE;
    }
    return FALSE;
}

// An in-memory dialog template of class "BORDLG", as the driver's resource
// script declares its dialogs.
void AddText(std::vector<WORD>* paw, const char* p)
{
    while (*p != '\0') paw->push_back(static_cast<WORD>(static_cast<unsigned char>(*p++)));
    paw->push_back(0);
}

void AddItem(std::vector<WORD>* paw, DWORD dwStyle, short x, short y, short cx, short cy, WORD wId,
             const char* pClass, const char* pText)
{
    if (paw->size() % 2 != 0) paw->push_back(0);   // DWORD alignment
    DLGITEMTEMPLATE item = {WS_CHILD | WS_VISIBLE | dwStyle, 0, x, y, cx, cy, wId};
    const WORD* pw = reinterpret_cast<const WORD*>(&item);
    paw->insert(paw->end(), pw, pw + sizeof item / sizeof(WORD));
    AddText(paw, pClass);
    AddText(paw, pText);
    paw->push_back(0);   // no creation data
}

std::vector<WORD> PanelTemplate()
{
    std::vector<WORD> aw;
    DLGTEMPLATE dlg = {WS_POPUP, 0, 4, 0, 0, 200, 100};
    const WORD* pw = reinterpret_cast<const WORD*>(&dlg);
    aw.insert(aw.end(), pw, pw + sizeof dlg / sizeof(WORD));
    aw.push_back(0);          // no menu
    AddText(&aw, "BORDLG");   // dialog class
    aw.push_back(0);          // no title
    AddItem(&aw, 1, 2, 3, 186, 26, 207, "BorShade", "");
    AddItem(&aw, 1, 5, 14, 69, 1, 204, "BorShade", "");
    AddItem(&aw, 1, 10, 5, 40, 16, 1003, "TAV_CC_Button", "Take");
    AddItem(&aw, 8, 60, 5, 40, 9, 1005, "TAV_CC_Button", "/__1B0_");
    return aw;
}

std::string StyleOf(HWND hButton)
{
    ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropA(hButton, TAV_STYLE_PROPERTY)));
    char ac[64] = {};
    if (atom != 0) GlobalGetAtomNameA(atom, ac, sizeof ac);
    return ac;
}

std::string TextOf(HWND hWnd)
{
    char ac[256] = {};
    SendMessageA(hWnd, WM_GETTEXT, sizeof ac, reinterpret_cast<LPARAM>(ac));
    return ac;
}

class Controls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hBwcc = LoadLibraryA((ExeDir() + "BWCC32.DLL").c_str());
        hKelm = LoadLibraryA((ExeDir() + "KELM_CC.DLL").c_str());
        ASSERT_NE(hBwcc, nullptr);
        ASSERT_NE(hKelm, nullptr);
        FARPROC pProc = GetProcAddress(hBwcc, "BWCCRegister");
        ASSERT_NE(pProc, nullptr);
        BwccRegisterProc pRegister = reinterpret_cast<BwccRegisterProc>(reinterpret_cast<void (*)(void)>(pProc));
        ASSERT_TRUE(pRegister(GetModuleHandleA(nullptr)));
        ASSERT_TRUE(pRegister(GetModuleHandleA(nullptr)));   // a second call is harmless
    }
    void SetUp() override
    {
        awCommand.clear();
        std::vector<WORD> aw = PanelTemplate();
        hDlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(aw.data()),
                                          nullptr, TestDlgProc, 0);
        ASSERT_NE(hDlg, nullptr);
        hTake = GetDlgItem(hDlg, 1003);
        hIndicator = GetDlgItem(hDlg, 1005);
    }
    void TearDown() override
    {
        DestroyWindow(hDlg);
    }
    static HMODULE hBwcc;
    static HMODULE hKelm;
    HWND hDlg = nullptr;
    HWND hTake = nullptr;
    HWND hIndicator = nullptr;
};
HMODULE Controls::hBwcc = nullptr;
HMODULE Controls::hKelm = nullptr;

}  // namespace

TEST_F(Controls, ClassesAreGlobalAndTheDialogClassIsADialog)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "BORDLG", &wc));
    EXPECT_TRUE(wc.style & CS_GLOBALCLASS);
    EXPECT_EQ(wc.cbWndExtra, DLGWINDOWEXTRA);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "BorShade", &wc));
    EXPECT_TRUE(wc.style & CS_GLOBALCLASS);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "TAV_CC_Button", &wc));
    EXPECT_TRUE(wc.style & CS_GLOBALCLASS);

    char acClass[32];
    GetClassNameA(hDlg, acClass, sizeof acClass);
    EXPECT_STREQ(acClass, "BORDLG");
    // Frames let the mouse through to the controls laid over them.
    EXPECT_EQ(SendMessageA(GetDlgItem(hDlg, 207), WM_NCHITTEST, 0, 0), HTTRANSPARENT);
    EXPECT_EQ(SendMessageA(GetDlgItem(hDlg, 204), WM_NCHITTEST, 0, 0), HTTRANSPARENT);
}

TEST_F(Controls, StyleCodesSelectTheLookAndKeepTheCaption)
{
    EXPECT_EQ(TextOf(hTake), "Take");
    EXPECT_EQ(StyleOf(hTake), "");
    EXPECT_EQ(SendMessageA(hTake, TAVM_GETFACE, 0, 0), kTavFacePlain);

    // A style code given in the template is a style, not a caption.
    EXPECT_EQ(TextOf(hIndicator), "");
    EXPECT_EQ(StyleOf(hIndicator), "/__1B0_");
    SetDlgItemTextA(hDlg, 1005, "Rx Only");
    EXPECT_EQ(TextOf(hIndicator), "Rx Only");
    SetDlgItemTextA(hDlg, 1005, "/__2B0_");
    EXPECT_EQ(TextOf(hIndicator), "Rx Only");
    EXPECT_EQ(StyleOf(hIndicator), "/__2B0_");
    int iTxRx = static_cast<int>(SendMessageA(hIndicator, TAVM_GETFACE, 0, 0));
    SetDlgItemTextA(hDlg, 1005, "/__1B0_");
    EXPECT_NE(SendMessageA(hIndicator, TAVM_GETFACE, 0, 0), iTxRx);

    SetDlgItemTextA(hDlg, 1003, "Locked");
    SetDlgItemTextA(hDlg, 1003, "/1B____");
    int iLocked = static_cast<int>(SendMessageA(hTake, TAVM_GETFACE, 0, 0));
    SetDlgItemTextA(hDlg, 1003, "/2B____");
    EXPECT_NE(SendMessageA(hTake, TAVM_GETFACE, 0, 0), iLocked);
    char acText[64] = {};
    GetDlgItemTextA(hDlg, 1003, acText, sizeof acText);
    EXPECT_STREQ(acText, "Locked");
    EXPECT_TRUE(awCommand.empty());   // setting texts reports nothing
}

TEST_F(Controls, AClickIsReportedOnceAndOnlyWhileEnabled)
{
    SendMessageA(hTake, BM_CLICK, 0, 0);
    ASSERT_EQ(awCommand.size(), 1u);
    EXPECT_EQ(awCommand[0], MAKEWPARAM(1003, BN_CLICKED));

    SendMessageA(hTake, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(awCommand.size(), 1u);   // a press alone is no click
    SendMessageA(hTake, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(awCommand.size(), 2u);

    SendMessageA(hTake, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(hTake, WM_LBUTTONUP, 0, MAKELPARAM(-20, 3));   // released outside
    EXPECT_EQ(awCommand.size(), 2u);

    EnableWindow(hTake, FALSE);
    SendMessageA(hTake, BM_CLICK, 0, 0);
    SendMessageA(hTake, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(hTake, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    SendMessageA(hTake, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(awCommand.size(), 2u);
    EnableWindow(hTake, TRUE);
    SendMessageA(hTake, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(awCommand.size(), 3u);
    SetFocus(hTake);
    InvalidateRect(hTake, nullptr, TRUE);
    UpdateWindow(hTake);
    EXPECT_EQ(awCommand.size(), 3u);
}

TEST(ControlLibraries, StayUsableAfterTheyAreReleased)
{
    // The driver releases BWCC32.DLL at shut-down while its dialog still
    // exists; the library keeps itself loaded once it has registered.
    HMODULE h = LoadLibraryA((ExeDir() + "BWCC32.DLL").c_str());
    ASSERT_NE(h, nullptr);
    FARPROC pProc = GetProcAddress(h, "BWCCRegister");
    reinterpret_cast<BwccRegisterProc>(reinterpret_cast<void (*)(void)>(pProc))(GetModuleHandleA(nullptr));
    HWND hShade = CreateWindowA("BorShade", "", WS_POPUP | 1, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hShade, nullptr);
    for (int i = 0; i < 4; ++i) FreeLibrary(h);
    EXPECT_NE(GetModuleHandleA("BWCC32.DLL"), nullptr);
    EXPECT_EQ(SendMessageA(hShade, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
    DestroyWindow(hShade);
}

TEST(Filter, ModesTakeOverPassOrRewrite)
{
    HMODULE h = LoadLibraryA((ExeDir() + "zurfilter.dll").c_str());
    ASSERT_NE(h, nullptr);
    FARPROC pProc = GetProcAddress(h, "combinerOutputFilter");
    ASSERT_NE(pProc, nullptr);
    CombinerOutputFilterProc pFilter =
        reinterpret_cast<CombinerOutputFilterProc>(reinterpret_cast<void (*)(void)>(pProc));
    std::string sLog = TempFile("filter", "log");
    SetEnvironmentVariableA("ZUR_FILTER_LOG", sLog.c_str());

    char acGs[] = "GS 1 2 3 4";
    char acRc[] = "RC 5 3 7";
    SetEnvironmentVariableA("ZUR_FILTER_MODE", nullptr);
    EXPECT_EQ(pFilter(acGs), 1);
    EXPECT_EQ(pFilter(acRc), 0);
    SetEnvironmentVariableA("ZUR_FILTER_MODE", "all");
    EXPECT_EQ(pFilter(acRc), 1);
    SetEnvironmentVariableA("ZUR_FILTER_MODE", "none");
    EXPECT_EQ(pFilter(acGs), 0);
    SetEnvironmentVariableA("ZUR_FILTER_MODE", "rewrite");
    char acIw[] = "IW 5 'camera one' 3 4";
    EXPECT_EQ(pFilter(acIw), 0);
    EXPECT_STREQ(acIw, "IW 5 'CAMERA ONE' 3 4");
    EXPECT_STREQ(acGs, "GS 1 2 3 4");

    std::vector<std::string> asLines = ReadLines(sLog);
    ASSERT_EQ(asLines.size(), 5u);
    EXPECT_EQ(asLines[0], "gs 1 GS 1 2 3 4");
    EXPECT_EQ(asLines[4], "rewrite 0 IW 5 'camera one' 3 4");
    SetEnvironmentVariableA("ZUR_FILTER_MODE", nullptr);
    SetEnvironmentVariableA("ZUR_FILTER_LOG", nullptr);
    DeleteFileA(sLog.c_str());
    FreeLibrary(h);
}
