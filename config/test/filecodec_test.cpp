#include "config/filecodec.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> Table(int iFill = 0)
{
    return std::vector<int>(kPackageMax + 1, iFill);
}

}  // namespace

TEST(IndexFile, BigEndianPerDestinationModulo65536)
{
    std::vector<int> aiIndex = Table();
    aiIndex[1] = 300;
    aiIndex[2] = 65536 + 7;    // kept modulo 65536
    aiIndex[3] = -1;
    aiIndex[4096] = 2;
    std::vector<unsigned char> acFile(kIndexFileSize, 0xAA);
    EncodeIndex(aiIndex.data(), acFile.data());
    EXPECT_EQ(acFile[0], 0x01);
    EXPECT_EQ(acFile[1], 0x2C);
    EXPECT_EQ(acFile[2], 0x00);
    EXPECT_EQ(acFile[3], 0x07);
    EXPECT_EQ(acFile[4], 0xFF);
    EXPECT_EQ(acFile[5], 0xFF);
    EXPECT_EQ(acFile[kIndexFileSize - 2], 0x00);
    EXPECT_EQ(acFile[kIndexFileSize - 1], 0x02);
    for (size_t i = 6; i < kIndexFileSize - 2; ++i) ASSERT_EQ(acFile[i], 0) << i;

    std::vector<int> aiBack = Table(-5);
    DecodeIndex(acFile.data(), acFile.size(), aiBack.data());
    EXPECT_EQ(aiBack[1], 300);
    EXPECT_EQ(aiBack[2], 7);
    EXPECT_EQ(aiBack[3], 65535);
    EXPECT_EQ(aiBack[4096], 2);
    EXPECT_EQ(aiBack[0], -5);   // entry 0 carries no data and is left alone
}

TEST(IndexFile, ShortFileLeavesMissingDestinationsUnrouted)
{
    std::vector<unsigned char> acFile(kIndexFileSize, 0x01);   // every entry 257
    std::vector<int> aiIndex = Table(-5);
    DecodeIndex(acFile.data(), kIndexFileSize - 1, aiIndex.data());
    EXPECT_EQ(aiIndex[1], 257);
    EXPECT_EQ(aiIndex[4095], 257);
    EXPECT_EQ(aiIndex[4096], 0);   // one byte of two: unrouted, not h x 256 - 1

    aiIndex = Table(-5);
    DecodeIndex(acFile.data(), 0, aiIndex.data());
    for (int d = 1; d <= kPackageMax; ++d) ASSERT_EQ(aiIndex[d], 0) << d;
}

TEST(IndexFile, ExcessBytesAreIgnored)
{
    std::vector<unsigned char> acFile(kIndexFileSize + 100, 0x02);
    std::vector<int> aiIndex = Table();
    DecodeIndex(acFile.data(), acFile.size(), aiIndex.data());
    EXPECT_EQ(aiIndex[4096], 0x0202);
}

TEST(LockFile, LowByteWithLockedNeverWrittenAsUnlocked)
{
    std::vector<int> abLock = Table();
    abLock[1] = 1;
    abLock[2] = 2;
    abLock[3] = 256;      // low byte 0, but locked
    abLock[4] = 512;
    abLock[5] = 257;
    abLock[6] = -1;
    abLock[7] = -256;
    std::vector<unsigned char> acFile(kLockFileSize, 0xAA);
    EncodeLocks(abLock.data(), acFile.data());
    const unsigned char acExpected[] = {1, 2, 1, 1, 1, 0xFF, 1, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(acFile[i], acExpected[i]) << i;

    std::vector<int> abBack = Table();
    DecodeLocks(acFile.data(), acFile.size(), abBack.data());
    EXPECT_EQ(abBack[1], 1);
    for (int d = 1; d <= 7; ++d) EXPECT_NE(abBack[d], 0) << d;
    EXPECT_EQ(abBack[8], 0);
}

TEST(LockFile, ShortFileReadsMissingDestinationsAsLocked)
{
    std::vector<unsigned char> acFile(kLockFileSize + 10, 0);
    std::vector<int> abLock = Table(7);
    DecodeLocks(acFile.data(), 4000, abLock.data());
    EXPECT_EQ(abLock[4000], 0);
    for (int d = 4001; d <= kPackageMax; ++d) ASSERT_EQ(abLock[d], -1) << d;

    abLock = Table(7);
    DecodeLocks(acFile.data(), acFile.size(), abLock.data());   // too long: excess ignored
    for (int d = 1; d <= kPackageMax; ++d) ASSERT_EQ(abLock[d], 0) << d;
}
