#include "ipc/wire.h"

#include <cstdio>
#include <cstring>

uint32_t PackEnvelope(int iMessage, int iValue)
{
    return (static_cast<uint32_t>(iMessage & 0xFFFF) << 16) | (static_cast<uint32_t>(iValue) & 0xFFFFu);
}

int EnvelopeMessage(uintptr_t dwData)
{
    return static_cast<int>((dwData >> 16) & 0xFFFF);
}

int EnvelopeValue(uintptr_t dwData)
{
    return static_cast<int>(dwData & 0xFFFF);
}

void FormatNumericPayload(char* pBlock16, unsigned long ulNumber)
{
    std::memset(pBlock16, 0, kNumericBlockSize);
    std::snprintf(pBlock16, kNumericBlockSize, "%08lx", ulNumber & 0xFFFFFFFFul);
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int ParseNumericPayload(const void* pData, size_t nSize, unsigned long* pulNumber)
{
    // Same reading as sscanf "%08lx": optional white space, an optional
    // "0x", then up to eight hexadecimal digits; never past nSize.
    const char* p = static_cast<const char*>(pData);
    if (p == nullptr) return 0;
    size_t i = 0;
    while (i < nSize && (p[i] == ' ' || (p[i] >= '\t' && p[i] <= '\r'))) ++i;
    int iWidth = 8;
    if (i < nSize && (p[i] == '+' || p[i] == '-')) {   // a sign counts toward the width
        if (p[i] == '-') return 0;
        ++i;
        --iWidth;
    }
    if (i + 1 < nSize && iWidth >= 2 && p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X')
        && i + 2 < nSize && HexDigit(p[i + 2]) >= 0) {
        i += 2;
        iWidth -= 2;
    }
    unsigned long ul = 0;
    int iDigits = 0;
    while (i < nSize && iDigits < iWidth) {
        int d = HexDigit(p[i]);
        if (d < 0) break;
        ul = (ul << 4) | static_cast<unsigned long>(d);
        ++i;
        ++iDigits;
    }
    if (iDigits == 0) return 0;
    *pulNumber = ul;
    return 1;
}

void PackNameRequest(char* pBlock, int iDevice, int iDatabase, int iIndex)
{
    const int aiField[3] = {iDevice, iDatabase, iIndex};
    for (int i = 0; i < 3; ++i) {
        pBlock[2 * i] = static_cast<char>(aiField[i] & 0xFF);
        pBlock[2 * i + 1] = static_cast<char>((aiField[i] >> 8) & 0xFF);
    }
}

void CopyReceivedBlock(char* pBlock514, const void* pData, size_t nSize)
{
    std::memset(pBlock514, 0, kTextBlockSize + 1);
    if (pData != nullptr && nSize > 0) {
        std::memcpy(pBlock514, pData, nSize < static_cast<size_t>(kTextBlockSize) ? nSize : kTextBlockSize);
    }
}

void CopyReplyText(char* pDest, int nLength, const char* pReply)
{
    if (nLength <= 0) return;
    int n = nLength < kTextBlockSize ? nLength : kTextBlockSize;
    int i = 0;
    for (; i < n && pReply[i] != '\0'; ++i) pDest[i] = pReply[i];
    for (; i < n; ++i) pDest[i] = '\0';
}
