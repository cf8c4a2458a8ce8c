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

TEST(Ring, CutsLongTextsAndRefusesWhenFull)
{
    auto pRing = std::make_unique<TextRing>();
    std::string long_text(200, 'c');
    ASSERT_EQ(RingPush(pRing.get(), long_text.c_str()), 0);
    char out[kRingTextSize];
    ASSERT_EQ(RingPop(pRing.get(), out), 1);
    EXPECT_EQ(std::string(out), std::string(127, 'c'));

    for (int i = 0; i < kRingCapacity; ++i) ASSERT_GE(RingPush(pRing.get(), "x"), 0);
    EXPECT_EQ(RingPush(pRing.get(), "one too many"), -1);
    EXPECT_EQ(pRing->lDropped, 1);
}
