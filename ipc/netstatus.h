// Network status ("NS") texts: the in-place parse and the answer text
// (platform-free).
#pragma once
#include <cstddef>

struct NetStatus {
    int iField0;         // integer of field 0
    int iField1;         // integer of field 1 (interface number)
    int bTxRxKey;        // 1 when field 2's key is "txrx" in any case
    int iTxRxValue;      // integer of field 2's value (0 when missing)
    const char* apExtra[3];  // fields 3, 4, 5 as parsed ("" when missing)
};

// The values of field 2 ("TXRX=n") that change the transmit state: 1 RX
// only, 2 or 3 TX/RX. Any other value leaves the state as it is.
const int kNetStatusRxOnly = 1;
const int kNetStatusTxRx = 2;
const int kNetStatusTxRxToo = 3;

// Parses an NS text in place. Always fills *pStatus.
void ParseNetworkStatus(char* pText, NetStatus* pStatus);

// "NS %03d %03d 'TXRX=%d' %s %s %s", bounded by nSize.
int FormatNetworkAnswer(char* pOut, size_t nSize, const NetStatus* pStatus, int iRvxNumber, int iTxRx);
