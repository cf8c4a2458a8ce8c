// Window message numbers of the driver's wire contract with RVX, the
// InfoDrivers and other drivers (platform-free).
#pragma once

// WM_APP: the first of the numbers a program keeps for messages to itself
// (the platform's headers are not included here; the window procedure checks
// the two agree).
const int kAppMessageFirst = 0x8000;

enum {
    MSG_ATTACH              = 2031,  // broadcast: driver looks for RVX
    MSG_RVX_WINDOW          = 2032,  // RVX announces its window
    MSG_COMMAND_QUEUED      = 2049,  // posted to self: driver-command ring
    MSG_INFO_QUEUED         = 2050,  // posted to self: InfoDriver ring
    MSG_INTERFACE_NUMBER    = 2119,
    MSG_NETWORK_STATUS      = 2121,
    MSG_NETWORK_ANSWER      = 2123,
    MSG_ROUTE_COMMAND       = 2124,
    MSG_SWITCH_COMMAND      = 2134,
    MSG_INFO_WRITE_COMMAND  = 2144,
    MSG_NAME_REQUEST        = 2164,
    MSG_NAME_CHANGED        = 2174,
    MSG_CLOSE_REQUEST       = 2175,
    MSG_REVERTIVE_REFRESH   = 2177,
    MSG_ARBITRATION_QUERY   = 2179,
    MSG_TXRX_ORDER          = 2180,
    MSG_OWNERSHIP_QUERY     = 2181,
    MSG_REGISTER            = 2184,
    MSG_UNREGISTER          = 2186,
    MSG_REVERTIVE           = 2187,
    MSG_REVERTIVE_SERIES    = 2188,
    MSG_DRIVER_COMMAND      = 2189,
    MSG_RX_ONLY_ORDER       = 2190,
    MSG_TXRX_REPORT         = 2215,
    MSG_INFO_CONNECT        = 2724,
    MSG_INFO_DISCONNECT     = 2725,
    MSG_INFO_SLOT_WRITE     = 2726,
    MSG_INFO_SLOT_READ      = 2727,
    MSG_INFO_NOTICE         = 2728,
    MSG_INFO_CONNECT_ANSWER = 2729,
    MSG_INFO_MESSAGE        = 2730,
    MSG_LEVELMAP_DEFAULT    = 2731,
    MSG_INFO_TXRX_QUERY     = 2732,
    MSG_INFO_TXRX_SET       = 2733,
    MSG_TRANSPORT_REPLY     = 2984,
    // A text request no peer acts on: every peer's transport answers it
    // with the block as it came. The driver sends it to bring a peer back
    // in step after a request to it was given up.
    MSG_TRANSPORT_SYNC      = 2985,
    // Posted to self: a close request that came during work now takes
    // effect. A number of the program's own (WM_APP + 1), outside the peers'
    // numbers, so no peer can send it.
    MSG_CLOSE_DEFERRED      = kAppMessageFirst + 1
};

// The transmit state iTxRx: revertives and level commands go to RVX only
// while it is kTxRx.
enum TxRxState { kTxRxNone = 0, kRxOnly = 1, kTxRx = 2 };

// The wparam of a TX/RX report (2215) and of an InfoDriver's state order
// (2733).
const int kReportTxRx = 3;
const int kReportRxOnly = 1;

// Marks an lparam (of 2184, 2724) as a device number.
const int kDeviceFlag = 0x8000;

// Short readable name of a message number ("revertive", "slot read", ...),
// for the stand-ins' traffic lines; "?" when unknown.
const char* MessageName(int iMessage);
