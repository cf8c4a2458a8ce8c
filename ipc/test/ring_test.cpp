#include "ipc/ring.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

TEST(Ring, KeepsArrivalOrderAndHandsEachTextOutOnce)
{
    auto pRing = std::make_unique<TextRing>();
    char out[kRingTextSize];
    for (int i = 0; i < 3 * kRingCapacity / 2; ++i) {
        ASSERT_GE(RingPush(pRing.get(), std::to_string(i).c_str()), 0);
        if (i % 2 == 1) {
            ASSERT_EQ(RingPop(pRing.get(), out), 1);
        }
    }
    // Everything pushed comes out in order, wrapping around the table.
    int iExpected = 3 * kRingCapacity / 4;
    while (RingPop(pRing.get(), out)) EXPECT_EQ(std::string(out), std::to_string(iExpected++));
    EXPECT_EQ(iExpected, 3 * kRingCapacity / 2);
    EXPECT_EQ(RingPop(pRing.get(), out), 0);
}

TEST(Ring, KeepsTextsWholeUpTo512CharactersAndRefusesLongerOnes)
{
    auto pRing = std::make_unique<TextRing>();
    char out[kRingTextSize];
    for (size_t n : {127u, 128u, 200u, 512u}) {
        std::string text(n, 'c');
        text.back() = '7';   // a workstation at the end must survive
        ASSERT_GE(RingPush(pRing.get(), text.c_str()), 0) << n;
        ASSERT_EQ(RingPop(pRing.get(), out), 1);
        EXPECT_EQ(std::string(out), text) << n;
    }
    EXPECT_EQ(RingPush(pRing.get(), std::string(513, 'c').c_str()), kRingTooLong);
    EXPECT_EQ(pRing->iPending, 0);
    EXPECT_EQ(pRing->lDropped, 0);
}

// 16384 texts of up to 127 characters always fit, also when they wrap round
// the end of the store, and a full ring refuses.
TEST(Ring, HoldsFullCapacityOfShortTextsAndRefusesWhenFull)
{
    auto pRing = std::make_unique<TextRing>();
    char out[kRingTextSize];
    auto Short = [](int i) {
        std::string s = std::to_string(i);
        s.resize(127, 's');
        return s;
    };
    for (int i = 0; i < kRingCapacity; ++i) ASSERT_GE(RingPush(pRing.get(), Short(i).c_str()), 0) << i;
    for (int i = 0; i < kRingCapacity / 2; ++i) ASSERT_EQ(RingPop(pRing.get(), out), 1);
    for (int i = kRingCapacity; i < kRingCapacity * 3 / 2; ++i) {
        ASSERT_GE(RingPush(pRing.get(), Short(i).c_str()), 0) << i;
    }
    EXPECT_EQ(RingPush(pRing.get(), "x"), kRingFull);
    EXPECT_EQ(pRing->lDropped, 1);
    for (int i = kRingCapacity / 2; i < kRingCapacity * 3 / 2; ++i) {
        ASSERT_EQ(RingPop(pRing.get(), out), 1);
        ASSERT_EQ(std::string(out), Short(i));
    }
}
