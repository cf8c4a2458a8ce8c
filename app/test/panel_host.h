// A host for the operator panel inside a test process: the main window with
// its menu, a fake RVX on its own thread answering name requests, the control
// classes the dialogs use, and a capture of the debug log.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Fake RVX: names are "SRC n" and "DST n"; source 7 has an 80-character name.
// After RenameAll(true) every name ends in " v2".
struct NameRequest {
    int iDevice;
    int iDatabase;
    int iIndex;
};
void RenameAll(bool bRenamed);
std::vector<NameRequest> TakeNameRequests();   // requests since the last call

// Creates (once) the main window and the fake RVX, and loads the control
// libraries BWCC32.DLL and KELM_CC.DLL from beside the test.
void StartHost();
// The last WM_SYSCOMMAND the main window received (wParam).
WPARAM LastSysCommand();

// The panel's site: device iDevice with iSources and iDests packages and the
// [Combiner] lines sCombiner (DebugMode is on), in a profile of its own
// loaded as the start-up loads it; the lock file goes beside it.
void UsePanelProfile(int iDevice, int iSources, int iDests, const std::string& sCombiner = "NameLength=8\n");
// Nothing routed or locked.
void ClearRoutes();

// Creates the panel afresh with CreateMainDialog, then restores the main
// window so that its lists can take the focus.
void OpenPanel();
void ClosePanel();

// Debug log lines seen since the last call (without "<GR>-" and newline).
std::vector<std::string> TakeDebugLines();
// True when some captured line contains the text.
bool Contains(const std::vector<std::string>& asLines, const std::string& sText);

// Reading and driving the panel like an operator.
std::string ControlText(int iControl);
std::string ListEntry(int iList, int iEntry);
int ListCount(int iList);
int ListSelection(int iList);
void ClickListEntry(int iList, int iEntry);
void ClickButton(int iControl);
// Pumps the test thread's messages for about iMilliseconds.
void Pump(int iMilliseconds);
// The style code last given to a "TAV_CC_Button" ("/1B____"), "" when none,
// and the face colour it selected.
std::string StyleCode(int iControl);
int ButtonFace(int iControl);

// The fixture of the panel and menu tests: device 12 with 10 sources and 20
// destinations (the panel's own workstation 0 always has access),
// destination 1 routed from 3 and 5 from 4, nothing locked, the names as the
// fake RVX first gives them, the panel open; closed after each test.
class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
