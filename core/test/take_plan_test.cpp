// The decisions of a take, level by level, as the driver sends them and the
// site checker shows them.
#include "core/take_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<int> aiOffered;
void Offer(LevelStep* pStep) { aiOffered.push_back(pStep->iLevel); }

// Level 1 a forward route, 2 and 3 reverse routes that park, 4 a forward
// switch, 5 a level of no kind, 6 a forward route; masks all blank.
void Configure(LevelEntry* asConfig, MaskEntry* asMask)
{
    std::memset(asConfig, 0, sizeof(LevelEntry) * (kLevelCount + 1));
    std::memset(asMask, 0, sizeof(MaskEntry) * (kMaskCount + 1));
    const int aiType[] = {0, kForward, kReverse, kReverse, kForward, kForward, kForward};
    const int aiKind[] = {0, kRouteLevel, kRouteLevel, kRouteLevel, kSwitchLevel, kNoCommand, kRouteLevel};
    for (int L = 1; L <= 6; ++L) {
        asConfig[L].iType = aiType[L];
        asConfig[L].iKind = aiKind[L];
        asConfig[L].iTarget = 100 + L;
    }
}

}  // namespace

TEST(TakePlan, EachLevelsDecisionInOrderAndTheRouteRule)
{
    static LevelEntry asConfig[kLevelCount + 1];
    static MaskEntry asMask[kMaskCount + 1];
    Configure(asConfig, asMask);
    static TakePlan sPlan;
    const TakeSlots sSlots = {"1,6,0", "5,0,0,7,5,-,9", "20,30,30,0,5,6,9", "1,2,3,4,5,6,7"};
    aiOffered.clear();
    PlanTake(asConfig, asMask, 7, sSlots, ",1,2,3,4,5,6", 4, nullptr, Offer, &sPlan);

    const struct {
        LevelDecision eDecision;
        const char* pText;
    } aExpected[] = {
        {kLevelSends, "RC 101 5 20 ',---' 4"},        // forward route
        {kLevelSends, "RC 102 0 6 ',---' 4"},         // park of what the previous source used
        {kLevelParkSkipped, "RC 103 0 0 ',---' 4"},   // the previous source had 0 there
        {kLevelBlocked, "GS 104 0 1 4"},              // switch number 0
        {kLevelNoCommand, ""},
        {kLevelNoValue, ""},                          // "-" in the source package
        {kLevelNotInMask, ""},
    };
    for (int L = 1; L <= 7; ++L) {
        EXPECT_EQ(sPlan.asStep[L].iLevel, L);
        EXPECT_EQ(sPlan.asStep[L].eDecision, aExpected[L - 1].eDecision) << "level " << L;
        EXPECT_STREQ(sPlan.asStep[L].sCmd.acText, aExpected[L - 1].pText) << "level " << L;
        EXPECT_EQ(IsListed(sPlan.asStep[L].eDecision), L <= 4 ? 1 : 0) << "level " << L;
    }
    EXPECT_EQ(sPlan.asStep[1].sCmd.iMessage, 2124);
    EXPECT_EQ(sPlan.asStep[1].sCmd.iTarget, 101);
    EXPECT_EQ(sPlan.asStep[32].eDecision, kLevelNotInMask);
    EXPECT_EQ(sPlan.iMaskChosen, kMaskIsList);
    // Every level is offered, in ascending order.
    ASSERT_EQ(aiOffered.size(), static_cast<size_t>(kLevelCount));
    for (int L = 1; L <= kLevelCount; ++L) EXPECT_EQ(aiOffered[L - 1], L);
    // RevertiveLevel 7 is not in the take: the route index stays.
    EXPECT_EQ(sPlan.bRecordsRoute, 0);

    // No previous source package read: level 2 has nothing to park. With
    // RevertiveLevel 0 the route is recorded.
    const TakeSlots sUnrouted = {nullptr, sSlots.pSource, sSlots.pDest, sSlots.pLevelMap};
    PlanTake(asConfig, asMask, 0, sUnrouted, ",1,2,3,4,5,6", 4, nullptr, nullptr, &sPlan);
    EXPECT_EQ(sPlan.asStep[2].eDecision, kLevelParkSkipped);
    EXPECT_STREQ(sPlan.asStep[2].sCmd.acText, "RC 102 0 -1 ',---' 4");
    EXPECT_EQ(sPlan.bRecordsRoute, 1);
}
