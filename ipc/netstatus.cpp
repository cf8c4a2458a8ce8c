#include "ipc/netstatus.h"

#include <cstdio>
#include <cstring>

#include "core/tokenizer.h"

namespace {

const int kNetStatusFields = 6;

int IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Field 2 holds "key=value": every "=" becomes a blank, then the first word is
// the key (matched to "txrx" in any case) and the second word the value.
void ReadTxRxField(char* pField, NetStatus* pStatus)
{
    for (char* p = pField; *p != '\0'; ++p) {
        if (*p == '=') *p = ' ';
    }
    const char* pKey = pField;
    while (IsBlank(*pKey)) ++pKey;
    const char* pEnd = pKey;
    while (*pEnd != '\0' && !IsBlank(*pEnd)) ++pEnd;

    static const char acTxRx[] = "txrx";
    int bMatch = (pEnd - pKey) == 4;
    for (int i = 0; bMatch && i < 4; ++i) {
        char c = pKey[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != acTxRx[i]) bMatch = 0;
    }
    pStatus->bTxRxKey = bMatch;
    // The value word; the number conversion skips the blanks before it and
    // gives 0 when there is none.
    pStatus->iTxRxValue = ConvertNumber(pEnd);
}

}  // namespace

void ParseNetworkStatus(char* pText, NetStatus* pStatus)
{
    pStatus->iField0 = 0;
    pStatus->iField1 = 0;
    pStatus->bTxRxKey = 0;
    pStatus->iTxRxValue = 0;
    for (int i = 0; i < 3; ++i) pStatus->apExtra[i] = "";
    if (pText == nullptr) return;

    char* apField[kNetStatusFields + 1] = {};
    int aiValue[kNetStatusFields] = {};
    int nFields = TokenizeCommand(pText, kNetStatusFields, apField, aiValue);
    if (nFields > kNetStatusFields) nFields = kNetStatusFields;

    if (nFields > 0) pStatus->iField0 = aiValue[0];
    if (nFields > 1) pStatus->iField1 = aiValue[1];
    if (nFields > 2 && apField[2] != nullptr) ReadTxRxField(apField[2], pStatus);
    for (int i = 3; i < nFields; ++i) {
        if (apField[i] != nullptr) pStatus->apExtra[i - 3] = apField[i];
    }
}

int FormatNetworkAnswer(char* pOut, size_t nSize, const NetStatus* pStatus, int iRvxNumber, int iTxRx)
{
    if (pOut == nullptr || nSize == 0) return 0;
    int n = std::snprintf(pOut, nSize, "NS %03d %03d 'TXRX=%d' %s %s %s", pStatus->iField0, iRvxNumber, iTxRx,
                          pStatus->apExtra[0], pStatus->apExtra[1], pStatus->apExtra[2]);
    if (n < 0) {
        pOut[0] = '\0';
        return 0;
    }
    // The length actually stored: a long answer is cut to the buffer.
    return static_cast<size_t>(n) < nSize ? n : static_cast<int>(nSize - 1);
}
