// Byte layouts of the index file DEV_nnn.DAT and lock file DEV_nnn.LCK
// (platform-free). Tables are indexed 1..4096.
#pragma once
#include <cstddef>

#include "core/limits.h"

const size_t kIndexFileSize = 2 * kPackageMax;
const size_t kLockFileSize = kPackageMax;

void EncodeIndex(const int* aiIndex, unsigned char* pOut);
void DecodeIndex(const unsigned char* pData, size_t nLength, int* aiIndex);
void EncodeLocks(const int* abLock, unsigned char* pOut);
void DecodeLocks(const unsigned char* pData, size_t nLength, int* abLock);
