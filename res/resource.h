// Resource and control ids shared by zur.rc and the code.
#pragma once

// Menu commands
#define IDM_EXIT            901
#define IDM_CLEAR_ERRORS    910
#define IDM_KEYBOARD        911
#define IDM_SOURCE_BOX      912
#define IDM_DEST_BOX        913
#define IDM_TAKE            914
#define IDM_LOCK            915
#define IDM_ABOUT           991

// Main dialog controls
#define IDC_SOURCE_LIST     1001
#define IDC_DEST_LIST       1002
#define IDC_TAKE            1003
#define IDC_LOCK            1004
#define IDC_INTERFACE       1005
#define IDC_INPUT           1009
#define IDC_OUTPUT          1010
#define IDC_EXTERNAL        1011
#define IDC_REVERTIVES_TX   1101
#define IDC_COMMANDS_RX     1102
#define IDC_DRIVER_TX       1103
#define IDC_DRIVER_RX       1104
#define IDC_SHADE_IO        208
#define IDC_SHADE_RULE1     204

// About box controls
#define IDC_ABOUT_VERSION   1998
#define IDC_ABOUT_BUILD     1999
#define IDC_ABOUT_FRAME     2000

// Save timer of the main dialog
#define ID_SAVE_TIMER       2
#define ID_REFRESH_TIMER    3
