// Reading package and level map slots, choosing levels, composing level
// commands.
#include "core/levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> asLog;
void Capture(const char* pText) { asLog.push_back(pText); }

struct Sent {
    std::string text;
    int iMessage;
    int iTarget;
    int bBlocked;
};

class Levels : public ::testing::Test {
protected:
    LevelEntry asLevel[kLevelCount + 1];
    MaskEntry asMask[kMaskCount + 1];

    void SetUp() override
    {
        std::memset(asLevel, 0, sizeof asLevel);
        std::memset(asMask, 0, sizeof asMask);
        asLog.clear();
    }
    void Configure(int L, char cType, char cKind, int iTarget)
    {
        asLevel[L].iType = cType == 'F' ? 1 : cType == 'R' ? 2 : 0;
        asLevel[L].iKind = cKind == 'R' ? 1 : cKind == 'G' ? 2 : cKind == 'I' ? 3 : 0;
        asLevel[L].iTarget = iTarget;
    }
    // The worked example's device 201.
    void ConfigureExample()
    {
        Configure(1, 'F', 'R', 101);
        Configure(2, 'F', 'R', 102);
        Configure(3, 'R', 'R', 103);
        Configure(4, 'F', 'G', 104);
        Configure(5, 'F', 'I', 105);
    }
    // Steps 4 to 9 and the level loop of a take, as the driver runs them.
    std::vector<Sent> Take(const char* pPrev, const char* pSrc, const char* pDest, const char* pMap,
                           const char* pMask, int iWorkstation)
    {
        ResetTakeFields(asLevel);
        if (pPrev) ReadPrevSourceSlot(asLevel, pPrev);
        ReadSourceSlot(asLevel, pSrc);
        ReadDestSlot(asLevel, pDest);
        ReadLevelMapSlot(asLevel, pMap);
        SelectLevels(asLevel, asMask, pMask, Capture);
        std::vector<Sent> aSent;
        for (int L = 1; L <= kLevelCount; ++L) {
            LevelCommand sCmd;
            if (ComposeLevelCommand(asLevel, L, iWorkstation, &sCmd, Capture)) {
                aSent.push_back({sCmd.acText, sCmd.iMessage, sCmd.iTarget, sCmd.bBlocked});
            }
        }
        return aSent;
    }
    std::string Identity()
    {
        std::string s;
        for (int i = 1; i <= 32; ++i) s += (i > 1 ? "," : "") + std::to_string(i);
        return s;
    }
};

TEST_F(Levels, WorkedExample)
{
    ConfigureExample();
    std::vector<Sent> a = Take(nullptr, "5,7,9,1,Camera 1", "20,21,30,4,12", Identity().c_str(), ",1,2,3,4,5", 7);
    ASSERT_EQ(a.size(), 5u);
    const Sent aExpected[] = {
        {"RC 101 5 20 ',---' 7", 2124, 101, 0},
        {"RC 102 7 21 ',---' 7", 2124, 102, 0},
        {"RC 103 30 9 ',---' 7", 2124, 103, 0},
        {"GS 104 4 1 7", 2134, 104, 0},
        {"IW 105 'Camera 1' 12 7", 2144, 105, 0},
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(a[i].text, aExpected[i].text);
        EXPECT_EQ(a[i].iMessage, aExpected[i].iMessage);
        EXPECT_EQ(a[i].iTarget, aExpected[i].iTarget);
        EXPECT_EQ(a[i].bBlocked, 0) << a[i].text;
    }
    // Debug lines: a Scan line per level, "NORMAL" and the text for the reverse route.
    EXPECT_EQ(asLog[0], "Scan 1 : 5 20 1");
    EXPECT_EQ(asLog[3], "NORMAL");
    EXPECT_EQ(asLog[4], "RC 103 30 9 ',---' 7");
    EXPECT_EQ(asLog.back(), "Scan 32 : -1 -1 -1");
    EXPECT_EQ(asLog.size(), 34u);
}

TEST_F(Levels, ReverseRouteParksWhatThePreviousSourceUsed)
{
    ConfigureExample();
    std::vector<Sent> a =
        Take("1,2,6", "5,7,0,1,Camera 1", "20,21,30,4,12", Identity().c_str(), ",1,2,3,4,5", 7);
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[2].text, "RC 103 0 6 ',---' 7");
    EXPECT_EQ(a[2].iMessage, 2124);
    EXPECT_EQ(a[2].bBlocked, 0);
    EXPECT_NE(std::find(asLog.begin(), asLog.end(), "PARK"), asLog.end());

    // No route before the take: iPrevSrc stays -1 and the park is not sent.
    a = Take(nullptr, "5,7,0", "20,21,30", Identity().c_str(), "3", 7);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].text, "RC 103 0 -1 ',---' 7");
    EXPECT_EQ(a[0].bBlocked, 1);
}

// The level step by kind and direction with each of its "not sent" conditions.
// The level under test is level 2; its map points at itself unless iMap says
// otherwise, and level 1 holds the values of a mapped-to level.
struct StepRow {
    const char* pName;
    char cType, cKind;
    int iSrc, iDest, iPrevSrc;
    int iMap;                      // 2 = identity
    int iSrc1, iDest1;             // level 1's values
    const char* pText;             // nullptr: nothing composed
    int bBlocked;
};

const StepRow kSteps[] = {
    {"fwd route", 'F', 'R', 5, 9, -1, 2, 0, 0, "RC 30 5 9 ',---' 4", 0},
    {"fwd route dest 0", 'F', 'R', 5, 0, -1, 2, 0, 0, "RC 30 5 0 ',---' 4", 1},
    {"fwd route dest 4097", 'F', 'R', 5, 4097, -1, 2, 0, 0, "RC 30 5 4097 ',---' 4", 1},
    {"fwd route dest 4096", 'F', 'R', 5, 4096, -1, 2, 0, 0, "RC 30 5 4096 ',---' 4", 0},
    {"fwd route src 4097", 'F', 'R', 4097, 9, -1, 2, 0, 0, "RC 30 4097 9 ',---' 4", 1},
    {"fwd route prev 4097", 'F', 'R', 5, 9, 4097, 2, 0, 0, "RC 30 5 9 ',---' 4", 1},
    {"fwd route src 0 sent", 'F', 'R', 0, 9, -1, 2, 0, 0, "RC 30 0 9 ',---' 4", 0},
    {"fwd route mapped", 'F', 'R', 5, 9, -1, 1, 0, 44, "RC 30 5 44 ',---' 4", 0},
    {"fwd route map 0", 'F', 'R', 5, 9, -1, 0, 0, 44, "RC 30 5 0 ',---' 4", 1},
    {"rev route", 'R', 'R', 5, 9, -1, 2, 0, 0, "RC 30 9 5 ',---' 4", 0},
    {"rev route src below 1", 'R', 'R', -5, 9, -1, 2, 0, 0, "RC 30 9 -5 ',---' 4", 1},
    {"rev route dest 4097", 'R', 'R', 5, 4097, -1, 2, 0, 0, "RC 30 4097 5 ',---' 4", 1},
    {"rev route dest 0 sent", 'R', 'R', 5, 0, -1, 2, 0, 0, "RC 30 0 5 ',---' 4", 0},
    {"rev route src 4097", 'R', 'R', 4097, 9, -1, 2, 0, 0, "RC 30 9 4097 ',---' 4", 1},
    {"rev route prev 4097", 'R', 'R', 5, 9, 4097, 2, 0, 0, "RC 30 9 5 ',---' 4", 1},
    {"neither letter reverses", '?', 'R', 5, 9, -1, 2, 0, 0, "RC 30 9 5 ',---' 4", 0},
    {"park", 'R', 'R', 0, 9, 6, 2, 0, 0, "RC 30 0 6 ',---' 4", 0},
    {"park prev 0", 'R', 'R', 0, 9, 0, 2, 0, 0, "RC 30 0 0 ',---' 4", 1},
    {"park prev 4097", 'R', 'R', 0, 9, 4097, 2, 0, 0, "RC 30 0 4097 ',---' 4", 1},
    {"park dest 4097", 'R', 'R', 0, 4097, 6, 2, 0, 0, "RC 30 0 6 ',---' 4", 1},
    {"fwd switch on", 'F', 'G', 7, 3, -1, 2, 0, 0, "GS 30 3 1 4", 0},
    {"fwd switch off", 'F', 'G', 0, 3, -1, 2, 0, 0, "GS 30 3 0 4", 0},
    {"fwd switch big state", 'F', 'G', 5000, 3, -1, 2, 0, 0, "GS 30 3 1 4", 0},
    {"fwd switch dest 0", 'F', 'G', 7, 0, -1, 2, 0, 0, "GS 30 0 1 4", 1},
    {"fwd switch dest 4097", 'F', 'G', 7, 4097, -1, 2, 0, 0, "GS 30 4097 1 4", 1},
    {"fwd switch mapped", 'F', 'G', 7, 3, -1, 1, 8, 2, "GS 30 3 8 4", 0},
    {"rev switch", 'R', 'G', 3, 7, -1, 2, 0, 0, "GS 30 3 1 4", 0},
    {"rev switch off", 'R', 'G', 3, 0, -1, 2, 0, 0, "GS 30 3 0 4", 0},
    {"rev switch src 0", 'R', 'G', 0, 7, -1, 2, 0, 0, "GS 30 0 1 4", 1},
    {"rev switch src 4097", 'R', 'G', 4097, 7, -1, 2, 0, 0, "GS 30 4097 1 4", 1},
    {"rev switch mapped dest 4097", 'R', 'G', 3, 7, -1, 1, 2, 4097, "GS 30 2 1 4", 1},
    {"fwd write", 'F', 'I', 0, 12, -1, 2, 0, 0, "IW 30 'txt' 12 4", 0},
    {"fwd write dest 0", 'F', 'I', 0, 0, -1, 2, 0, 0, "IW 30 'txt' 0 4", 1},
    {"fwd write dest 4097", 'F', 'I', 0, 4097, -1, 2, 0, 0, "IW 30 'txt' 4097 4", 1},
    {"fwd write src 4097", 'F', 'I', 4097, 12, -1, 2, 0, 0, "IW 30 'txt' 12 4", 1},
    {"rev write", 'R', 'I', 12, 0, -1, 2, 0, 0, "IW 30 'txt' 12 4", 0},
    {"rev write src 0", 'R', 'I', 0, 0, -1, 2, 0, 0, "IW 30 'txt' 0 4", 1},
    {"rev write src 4097", 'R', 'I', 4097, 0, -1, 2, 0, 0, "IW 30 'txt' 4097 4", 1},
    {"rev write dest 4097", 'R', 'I', 12, 4097, -1, 2, 0, 0, "IW 30 'txt' 12 4", 1},
    {"rev write mapped src 0", 'R', 'I', 12, 0, -1, 1, 0, 0, "IW 30 'txt' 12 4", 1},
    {"no kind", 'F', '?', 5, 9, -1, 2, 0, 0, nullptr, 0},
    {"src missing", 'F', 'R', -1, 9, -1, 2, 0, 0, nullptr, 0},
    {"dest missing", 'F', 'R', 5, -1, -1, 2, 0, 0, nullptr, 0},
};

TEST_F(Levels, LevelStepTable)
{
    for (const StepRow& r : kSteps) {
        SetUp();
        Configure(2, r.cType, r.cKind, 30);
        asLevel[1].iSrc = r.iSrc1;
        asLevel[1].iDest = r.iDest1;
        asLevel[2].iSrc = r.iSrc;
        asLevel[2].iDest = r.iDest;
        asLevel[2].iPrevSrc = r.iPrevSrc;
        asLevel[2].iMask = 1;
        asLevel[2].iMap = r.iMap;
        std::strcpy(asLevel[2].acText, "txt");
        LevelCommand sCmd = {};
        int bComposed = ComposeLevelCommand(asLevel, 2, 4, &sCmd, nullptr);
        if (!r.pText) {
            EXPECT_EQ(bComposed, 0) << r.pName;
            continue;
        }
        ASSERT_EQ(bComposed, 1) << r.pName;
        EXPECT_STREQ(sCmd.acText, r.pText) << r.pName;
        EXPECT_EQ(sCmd.bBlocked, r.bBlocked) << r.pName;
        EXPECT_EQ(sCmd.iTarget, 30) << r.pName;
        EXPECT_EQ(sCmd.iMessage, r.cKind == 'R' ? 2124 : r.cKind == 'G' ? 2134 : 2144) << r.pName;
    }
}

TEST_F(Levels, MaskLeavingTheLevelOutComposesNothing)
{
    Configure(1, 'F', 'R', 30);
    asLevel[1].iSrc = 5;
    asLevel[1].iDest = 9;
    asLevel[1].iMask = -1;
    LevelCommand sCmd;
    EXPECT_EQ(ComposeLevelCommand(asLevel, 1, 0, &sCmd, Capture), 0);
    EXPECT_EQ(asLog, std::vector<std::string>{"Scan 1 : 5 9 -1"});
}

TEST_F(Levels, SwitchReductionIsSeenByALaterMappedLevel)
{
    Configure(1, 'F', 'G', 10);
    Configure(2, 'F', 'G', 20);
    // Level 2 takes its state from level 1, which reduced 7 to 1.
    std::vector<Sent> a = Take(nullptr, "7,9", "3,4", "1,1", "1,2", 0);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].text, "GS 10 3 1 0");
    EXPECT_EQ(a[1].text, "GS 20 4 1 0");
    EXPECT_EQ(asLevel[1].iSrc, 1);
}

TEST_F(Levels, SourceSlotEndsAtTheFirstEmptyField)
{
    Configure(1, 'F', 'I', 1);
    Take(nullptr, ",5", "1,1,1", "1,2,3", "1,2,3", 0);
    EXPECT_EQ(asLevel[1].iSrc, -1);
    EXPECT_EQ(asLevel[2].iSrc, -1);
    EXPECT_STREQ(asLevel[1].acText, "");

    Take(nullptr, "5,,7", "1,1,1", "1,2,3", "1,2,3", 0);
    EXPECT_EQ(asLevel[1].iSrc, 5);
    EXPECT_EQ(asLevel[2].iSrc, -1);
    EXPECT_EQ(asLevel[3].iSrc, -1);
}

TEST_F(Levels, FieldValues)
{
    Configure(3, 'F', 'I', 1);
    ResetTakeFields(asLevel);
    ReadSourceSlot(asLevel, "-,-7,-text,007,abc,-0, 12,+3");
    const int aiExpected[] = {0, -1, -1, -1, 7, 0, -1, 12, 3, -1};
    for (int L = 1; L <= 9; ++L) EXPECT_EQ(asLevel[L].iSrc, aiExpected[L]) << L;
    EXPECT_STREQ(asLevel[3].acText, "-text");

    // A result below -1 becomes -1 even without a leading minus.
    ResetTakeFields(asLevel);
    ReadSourceSlot(asLevel, " -7");
    EXPECT_EQ(asLevel[1].iSrc, -1);
}

TEST_F(Levels, DestSlotEmptyFieldEndsAsMinusOne)
{
    Configure(2, 'R', 'I', 1);
    ResetTakeFields(asLevel);
    ReadDestSlot(asLevel, "4,Name,,9");
    EXPECT_EQ(asLevel[1].iDest, 4);
    EXPECT_EQ(asLevel[2].iDest, 0);
    EXPECT_STREQ(asLevel[2].acText, "Name");
    EXPECT_EQ(asLevel[3].iDest, -1);
    EXPECT_EQ(asLevel[4].iDest, -1);
}

TEST_F(Levels, PrevSourceEmptyFieldStoresZeroAndEnds)
{
    ResetTakeFields(asLevel);
    ReadPrevSourceSlot(asLevel, "6,,8");
    EXPECT_EQ(asLevel[1].iPrevSrc, 6);
    EXPECT_EQ(asLevel[2].iPrevSrc, 0);
    EXPECT_EQ(asLevel[3].iPrevSrc, -1);
}

TEST_F(Levels, OnlyTheFirst31FieldsAreUsed)
{
    for (int L = 1; L <= 32; ++L) Configure(L, 'F', 'R', 100 + L);
    std::string s40;
    for (int i = 1; i <= 40; ++i) s40 += (i > 1 ? "," : "") + std::to_string(i);
    std::vector<Sent> a = Take(s40.c_str(), s40.c_str(), s40.c_str(), s40.c_str(), s40.c_str(), 0);
    ASSERT_EQ(a.size(), 31u);
    EXPECT_EQ(a.back().text, "RC 131 31 31 ',---' 0");
    EXPECT_EQ(asLevel[32].iSrc, -1);
    EXPECT_EQ(asLevel[32].iDest, -1);
    EXPECT_EQ(asLevel[32].iPrevSrc, -1);
    EXPECT_EQ(asLevel[32].iMask, -1);
    EXPECT_EQ(asLevel[32].iMap, 0);
}

TEST_F(Levels, LevelLists)
{
    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, ",1,3", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, (L == 1 || L == 3) ? 1 : -1) << L;
    EXPECT_TRUE(asLog.empty());

    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, "1,3", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, (L == 1 || L == 3) ? 1 : -1) << L;

    // Numbers outside 1..32 name no level and are ignored. Level 32 never
    // gets a value from a slot, which the log says when it is chosen.
    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, "0,33,-1,99999999999,32,2", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, (L == 2 || L == 32) ? 1 : -1) << L;
    EXPECT_EQ(asLog, (std::vector<std::string>{"level 32 is in the mask but never receives a value from a slot"}));
}

TEST_F(Levels, MaskNames)
{
    std::strcpy(asMask[2].acName, "VIDEO");
    std::strcpy(asMask[5].acName, "---");
    std::strcpy(asMask[6].acName, "---");
    for (int L = 1; L <= 32; ++L) {
        asMask[2].aiLevels[L] = L <= 2 ? 1 : -1;
        asMask[5].aiLevels[L] = L == 4 ? 1 : -1;
        asMask[6].aiLevels[L] = 1;
    }

    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, "video", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, -1);
    ASSERT_EQ(asLog.size(), 33u);
    EXPECT_EQ(asLog[1], "sMask[2].acName = VIDEO (mask = video)");
    EXPECT_EQ(asLog[32], "mask selects no level");

    asLog.clear();
    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, "VIDEO", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, L <= 2 ? 1 : -1);
    EXPECT_EQ(asLog, (std::vector<std::string>{"sMask[1].acName =  (mask = VIDEO)",
                                               "sMask[2].acName = VIDEO (mask = VIDEO)", "VIDEO"}));

    // ",---" drops its comma and names the first mask called "---".
    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, ",---", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, L == 4 ? 1 : -1);

    // Without such a mask ",---" includes nothing; neither does a prefix.
    asMask[5].acName[0] = asMask[6].acName[0] = '\0';
    ResetTakeFields(asLevel);
    SelectLevels(asLevel, asMask, ",---", Capture);
    SelectLevels(asLevel, asMask, "VID", Capture);
    SelectLevels(asLevel, asMask, "VIDEOS", Capture);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMask, -1);
}

TEST_F(Levels, LevelMapValues)
{
    asLevel[5].iMap = 9;   // from an earlier take
    asLevel[32].iMap = 4;
    ResetTakeFields(asLevel);
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(asLevel[L].iMap, 0) << L;
    ReadLevelMapSlot(asLevel, "2,0,-3,33,abc");
    EXPECT_EQ(asLevel[1].iMap, 2);
    EXPECT_EQ(asLevel[2].iMap, 0);
    EXPECT_EQ(asLevel[3].iMap, 0);
    EXPECT_EQ(asLevel[4].iMap, 0);   // above 32: no level
    EXPECT_EQ(asLevel[5].iMap, 0);   // the last field is still taken

    ReadLevelMapSlot(asLevel, "7");
    EXPECT_EQ(asLevel[1].iMap, 7);
    EXPECT_EQ(asLevel[2].iMap, 0);   // beyond the last field: kept

    asLevel[6].iMap = 4;
    ReadLevelMapSlot(asLevel, "1,2");
    EXPECT_EQ(asLevel[6].iMap, 4);
}

TEST_F(Levels, MapValueOutsideTheTableComposesAgainstTheBlankEntry)
{
    Configure(1, 'F', 'R', 30);
    asLevel[1].iSrc = 5;
    asLevel[1].iDest = 9;
    asLevel[1].iMask = 1;
    asLevel[1].iMap = 40;   // set directly, not through the slot
    LevelCommand sCmd;
    ASSERT_EQ(ComposeLevelCommand(asLevel, 1, 0, &sCmd, nullptr), 1);
    EXPECT_STREQ(sCmd.acText, "RC 30 5 0 ',---' 0");
    EXPECT_EQ(sCmd.bBlocked, 1);
}

// The command quotes a caption and a slot splits at commas: a caption with
// either goes out as it is, and the log says so.
TEST_F(Levels, CaptionThatTheFormatsCannotCarryIsSentAsItIsAndLogged)
{
    Configure(5, 'F', 'I', 105);
    std::vector<Sent> a = Take(nullptr, "1,1,1,1,it's", "1,1,1,1,12", Identity().c_str(), ",5", 7);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].text, "IW 105 'it's' 12 7");
    EXPECT_EQ(std::count(asLog.begin(), asLog.end(), "caption holds a quote or a comma, sent as it is: it's"), 1);
    EXPECT_EQ(CaptionFitsFormats("Camera 1"), 1);
    EXPECT_EQ(CaptionFitsFormats("a,b"), 0);
}

TEST_F(Levels, LongestInfoWriteFits)
{
    Configure(1, 'F', 'I', -2147483647 - 1);
    std::string sText(256, 'x');
    std::string sSlot = sText + "," + std::string(300, 'y');
    ResetTakeFields(asLevel);
    ReadSourceSlot(asLevel, sSlot.c_str());
    EXPECT_EQ(std::string(asLevel[1].acText), sText);
    asLevel[1].iDest = 2147483647;
    asLevel[1].iMask = 1;
    asLevel[1].iMap = 1;
    LevelCommand sCmd;
    ASSERT_EQ(ComposeLevelCommand(asLevel, 1, -2147483647 - 1, &sCmd, nullptr), 1);
    EXPECT_EQ(std::string(sCmd.acText), "IW -2147483648 '" + sText + "' 2147483647 -2147483648");
}

// Random slot, map and mask texts through every reader and the composition.
TEST_F(Levels, RandomTexts)
{
    std::mt19937 rng(4711);
    const char acAlphabet[] = ",,,,-0123456789 abc+'";
    for (int L = 1; L <= 32; ++L) Configure(L, "FR?"[L % 3], "RGI?"[L % 4], L);
    for (int i = 1; i <= 32; ++i) {
        std::snprintf(asMask[i].acName, sizeof asMask[i].acName, "m%d", i % 7);
        for (int L = 1; L <= 32; ++L) asMask[i].aiLevels[L] = (i + L) % 3 ? 1 : -1;
    }
    auto Random = [&](size_t nMax) {
        std::string s(rng() % (nMax + 1), ' ');
        for (char& c : s) c = acAlphabet[rng() % (sizeof acAlphabet - 1)];
        return s;
    };
    for (int n = 0; n < 3000; ++n) {
        std::string sPrev = Random(400), sSrc = Random(400), sDest = Random(400), sMap = Random(120);
        std::string sMask = n % 3 ? Random(60) : "m" + std::to_string(n % 9);
        std::vector<Sent> a = Take(sPrev.c_str(), sSrc.c_str(), sDest.c_str(), sMap.c_str(), sMask.c_str(), n);
        EXPECT_LE(a.size(), 31u);
        for (const Sent& s : a) EXPECT_LT(s.text.size(), sizeof(LevelCommand::acText));
        for (int L = 1; L <= 32; ++L) {
            EXPECT_GE(asLevel[L].iMap, 0);
            EXPECT_LE(asLevel[L].iMap, 32);
            EXPECT_LE(std::strlen(asLevel[L].acText), 256u);
        }
        asLog.clear();
    }
}

}  // namespace
