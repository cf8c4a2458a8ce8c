#include "ipc/wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

TEST(Envelope, ValueIsCutTo16BitsAndNeverMixesWithTheMessage)
{
    uint32_t dw = PackEnvelope(2727, 70000);
    EXPECT_EQ(EnvelopeMessage(dw), 2727);
    EXPECT_EQ(EnvelopeValue(dw), 4464);
    EXPECT_EQ(EnvelopeValue(PackEnvelope(2984, -1)), 65535);
    EXPECT_EQ(EnvelopeMessage(PackEnvelope(2984, -1)), 2984);
}

TEST(NumericPayload, RoundTripAndOwnBytesOnly)
{
    char block[kNumericBlockSize];
    FormatNumericPayload(block, 42);
    EXPECT_STREQ(block, "0000002a");
    unsigned long ul = 0;
    ASSERT_EQ(ParseNumericPayload(block, sizeof block, &ul), 1);
    EXPECT_EQ(ul, 42ul);

    // Digits beyond the payload's size are not read.
    const char acLong[] = "12345678";
    ASSERT_EQ(ParseNumericPayload(acLong, 3, &ul), 1);
    EXPECT_EQ(ul, 0x123ul);

    // No digit: nothing is read and the number is left alone.
    ul = 7;
    const char acJunk[16] = "zzzz";
    EXPECT_EQ(ParseNumericPayload(acJunk, sizeof acJunk, &ul), 0);
    EXPECT_EQ(ul, 7ul);
    EXPECT_EQ(ParseNumericPayload(nullptr, 16, &ul), 0);
}

TEST(ReceivedBlock, AnySizeIsCopiedBoundedAndTerminated)
{
    char block[kTextBlockSize + 1];
    std::vector<char> big(65536, 'x');
    CopyReceivedBlock(block, big.data(), big.size());
    EXPECT_EQ(std::strlen(block), static_cast<size_t>(kTextBlockSize));

    const char acShort[] = {'a', 'b', 'c'};  // no terminator
    CopyReceivedBlock(block, acShort, sizeof acShort);
    EXPECT_STREQ(block, "abc");

    CopyReceivedBlock(block, nullptr, 100);
    EXPECT_STREQ(block, "");
}

TEST(CopyBack, LengthLimitsAndTerminator)
{
    char dest[600];
    std::memset(dest, '#', sizeof dest);
    std::string reply(100, 'n');
    CopyReplyText(dest, 64, reply.c_str());
    EXPECT_EQ(std::string(dest, 64), std::string(64, 'n'));
    EXPECT_EQ(dest[64], '#');  // exactly 64 bytes, no terminator

    std::memset(dest, '#', sizeof dest);
    CopyReplyText(dest, 10, "abc");
    EXPECT_STREQ(dest, "abc");
    for (int i = 3; i < 10; ++i) EXPECT_EQ(dest[i], '\0');
    EXPECT_EQ(dest[10], '#');

    std::memset(dest, '#', sizeof dest);
    CopyReplyText(dest, 0, "abc");
    EXPECT_EQ(dest[0], '#');

    std::memset(dest, '#', sizeof dest);
    CopyReplyText(dest, 600, "abc");   // bounded by the block size
    EXPECT_EQ(dest[512], '\0');
    EXPECT_EQ(dest[513], '#');
}
