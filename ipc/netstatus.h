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

// Parses an NS text in place. Always fills *pStatus.
void ParseNetworkStatus(char* pText, NetStatus* pStatus);

// "NS %03d %03d 'TXRX=%d' %s %s %s", bounded by nSize.
int FormatNetworkAnswer(char* pOut, size_t nSize, const NetStatus* pStatus, int iRvxNumber, int iTxRx);
