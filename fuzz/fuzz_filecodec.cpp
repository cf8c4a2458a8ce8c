// The index file DEV_nnn.DAT and the lock file DEV_nnn.LCK, read from files
// of any length and content.
//
// Properties: decoding reads only the file's own bytes (the input is an
// exactly-sized block) and fills every entry 1..4096; an index entry is the
// file's big-endian pair, or 0 when the pair is incomplete; encoding what was
// decoded gives back the file's complete pairs followed by zeros, and
// decoding that again gives the same table (the round trip is stable); a lock
// entry is the file's byte or -1 past its end; a destination that was locked
// is still locked after encode and decode, one that was free is still free,
// and encode(decode(x)) is a fixed point.
#include "config/filecodec.h"

#include <vector>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::unique_ptr<uint8_t[]> pFile(new uint8_t[nSize == 0 ? 1 : nSize]);
    if (nSize > 0) std::memcpy(pFile.get(), pData, nSize);

    std::unique_ptr<int[]> aiIndex(new int[kPackageMax + 1]);
    std::unique_ptr<int[]> aiAgain(new int[kPackageMax + 1]);
    std::unique_ptr<unsigned char[]> pIndexOut(new unsigned char[kIndexFileSize]);
    std::unique_ptr<unsigned char[]> pIndexAgain(new unsigned char[kIndexFileSize]);
    aiIndex[0] = aiAgain[0] = 777;   // entry 0 is not a destination
    DecodeIndex(pFile.get(), nSize, aiIndex.get());
    FUZZ_CHECK(aiIndex[0] == 777);
    for (int d = 1; d <= kPackageMax; ++d) {
        size_t nHigh = 2 * static_cast<size_t>(d - 1);
        int iExpected = nHigh + 1 < nSize ? pFile[nHigh] * 256 + pFile[nHigh + 1] : 0;
        FUZZ_CHECK(aiIndex[d] == iExpected);
    }
    EncodeIndex(aiIndex.get(), pIndexOut.get());
    const size_t nPairs = std::min(nSize / 2 * 2, kIndexFileSize);
    FUZZ_CHECK(nPairs == 0 || std::memcmp(pIndexOut.get(), pFile.get(), nPairs) == 0);
    for (size_t i = nPairs; i < kIndexFileSize; ++i) FUZZ_CHECK(pIndexOut[i] == 0);
    DecodeIndex(pIndexOut.get(), kIndexFileSize, aiAgain.get());
    for (int d = 1; d <= kPackageMax; ++d) FUZZ_CHECK(aiAgain[d] == aiIndex[d]);
    EncodeIndex(aiAgain.get(), pIndexAgain.get());
    FUZZ_CHECK(std::memcmp(pIndexAgain.get(), pIndexOut.get(), kIndexFileSize) == 0);

    std::unique_ptr<int[]> abLock(new int[kPackageMax + 1]);
    std::unique_ptr<int[]> abAgain(new int[kPackageMax + 1]);
    std::unique_ptr<unsigned char[]> pLockOut(new unsigned char[kLockFileSize]);
    std::unique_ptr<unsigned char[]> pLockAgain(new unsigned char[kLockFileSize]);
    abLock[0] = abAgain[0] = 777;
    DecodeLocks(pFile.get(), nSize, abLock.get());
    FUZZ_CHECK(abLock[0] == 777);
    for (int d = 1; d <= kPackageMax; ++d) {
        size_t nAt = static_cast<size_t>(d - 1);
        FUZZ_CHECK(abLock[d] == (nAt < nSize ? pFile[nAt] : -1));
    }
    EncodeLocks(abLock.get(), pLockOut.get());
    DecodeLocks(pLockOut.get(), kLockFileSize, abAgain.get());
    for (int d = 1; d <= kPackageMax; ++d) FUZZ_CHECK((abAgain[d] != 0) == (abLock[d] != 0));
    EncodeLocks(abAgain.get(), pLockAgain.get());
    FUZZ_CHECK(std::memcmp(pLockAgain.get(), pLockOut.get(), kLockFileSize) == 0);

    // The same bytes as tables of any values, as "RL" and the take store
    // them: locks survive, routes come back modulo 65536.
    if (nSize >= 4) {
        for (int d = 1; d <= kPackageMax; ++d) {
            uint32_t u = 0;
            for (int k = 0; k < 4; ++k) u = (u << 8) | pFile[(4 * static_cast<size_t>(d) + k) % nSize];
            abLock[d] = static_cast<int>(u ^ static_cast<uint32_t>(d));
            aiIndex[d] = static_cast<int>(u);
        }
        EncodeLocks(abLock.get(), pLockOut.get());
        DecodeLocks(pLockOut.get(), kLockFileSize, abAgain.get());
        for (int d = 1; d <= kPackageMax; ++d) FUZZ_CHECK((abAgain[d] != 0) == (abLock[d] != 0));
        EncodeIndex(aiIndex.get(), pIndexOut.get());
        DecodeIndex(pIndexOut.get(), kIndexFileSize, aiAgain.get());
        for (int d = 1; d <= kPackageMax; ++d) FUZZ_CHECK(aiAgain[d] == (aiIndex[d] & 0xFFFF));
    }
    return 0;
}
