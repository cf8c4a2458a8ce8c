#include "config/filecodec.h"

// Index file: per destination 1..4096 one unsigned 16-bit number, most
// significant byte first, the route stored modulo 65536.
void EncodeIndex(const int* aiIndex, unsigned char* pOut)
{
    for (int d = 1; d <= kPackageMax; ++d) {
        unsigned int uValue = static_cast<unsigned int>(aiIndex[d]);
        pOut[2 * (d - 1)] = static_cast<unsigned char>((uValue >> 8) & 0xFF);
        pOut[2 * (d - 1) + 1] = static_cast<unsigned char>(uValue & 0xFF);
    }
}

// A file shorter than 8192 bytes leaves its missing destinations unrouted (0),
// including a last destination of which only one byte is present; bytes beyond
// 8192 are ignored.
void DecodeIndex(const unsigned char* pData, size_t nLength, int* aiIndex)
{
    for (int d = 1; d <= kPackageMax; ++d) {
        size_t nLow = 2 * static_cast<size_t>(d - 1) + 1;
        if (nLow < nLength) {
            aiIndex[d] = pData[nLow - 1] * 256 + pData[nLow];
        } else {
            aiIndex[d] = 0;
        }
    }
}

// Lock file: one byte per destination, the low byte of the lock value. A
// locked destination whose low byte happens to be 0 (256, 512, ...) is
// written as 1, so it is still locked when the file is read back.
void EncodeLocks(const int* abLock, unsigned char* pOut)
{
    for (int d = 1; d <= kPackageMax; ++d) {
        unsigned char uByte = static_cast<unsigned char>(static_cast<unsigned int>(abLock[d]) & 0xFF);
        if (abLock[d] != 0 && uByte == 0) uByte = 1;
        pOut[d - 1] = uByte;
    }
}

// A destination missing from a short lock file reads as -1: locked, the
// cautious reading. Bytes beyond 4096 are ignored.
void DecodeLocks(const unsigned char* pData, size_t nLength, int* abLock)
{
    for (int d = 1; d <= kPackageMax; ++d) {
        size_t nAt = static_cast<size_t>(d - 1);
        abLock[d] = nAt < nLength ? pData[nAt] : -1;
    }
}
