#include "config/profile_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Level {
    int iType, iKind, iTarget;
    bool operator==(const Level& o) const
    {
        return iType == o.iType && iKind == o.iKind && iTarget == o.iTarget;
    }
};

Level ParseLevel(const char* pText)
{
    Level s{9, 9, 9};
    ParseLevelText(pText, &s.iType, &s.iKind, &s.iTarget);
    return s;
}

// The included levels of a mask, in order.
std::vector<int> LevelsOf(const MaskEntry& sMaskEntry)
{
    std::vector<int> levels;
    for (int n = 1; n <= kLevelCount; ++n) {
        EXPECT_TRUE(sMaskEntry.aiLevels[n] == 1 || sMaskEntry.aiLevels[n] == -1);
        if (sMaskEntry.aiLevels[n] == 1) levels.push_back(n);
    }
    return levels;
}

// The granted workstations of an access text.
std::vector<int> Granted(const char* pText)
{
    std::vector<int> abAccess(1001, 5);
    ParseAccessText(pText, abAccess.data());
    std::vector<int> granted;
    for (int n = 0; n <= 1000; ++n) {
        if (abAccess[n] == 1) granted.push_back(n);
        else EXPECT_EQ(abAccess[n], 0);
    }
    return granted;
}

}  // namespace

TEST(ProfileText, NumbersReadLikeScanf)
{
    int iValue = 77;
    EXPECT_EQ(ScanInt(" -12x", &iValue), 1);
    EXPECT_EQ(iValue, -12);
    EXPECT_EQ(ScanInt("abc", &iValue), 0);
    EXPECT_EQ(iValue, -12);   // left alone
    EXPECT_EQ(ScanInt("-", &iValue), 0);
    EXPECT_EQ(ScanInt("", &iValue), 0);
    EXPECT_EQ(ScanInt("99999999999", &iValue), 1);
    EXPECT_EQ(iValue, INT_MAX);
    EXPECT_EQ(ScanInt("-99999999999", &iValue), 1);
    EXPECT_EQ(iValue, INT_MIN);

    long lValue = 0;
    EXPECT_EQ(ScanLong("+5 min", &lValue), 1);
    EXPECT_EQ(lValue, 5);
    EXPECT_EQ(ScanLong("-99999999999999999999999", &lValue), 1);
    EXPECT_EQ(lValue, LONG_MIN);
}

TEST(ProfileText, LevelTextsAreReadByPosition)
{
    EXPECT_EQ(ParseLevel("R,G,12"), (Level{2, 2, 12}));
    EXPECT_EQ(ParseLevel("F,X,7"), (Level{1, 0, 7}));
    EXPECT_EQ(ParseLevel("f,r,3"), (Level{0, 0, 3}));
    EXPECT_EQ(ParseLevel("F,R"), (Level{1, 1, 0}));
    EXPECT_EQ(ParseLevel("F,I,"), (Level{1, 3, 0}));
    EXPECT_EQ(ParseLevel("F,R, 101x"), (Level{1, 1, 101}));
    EXPECT_EQ(ParseLevel("F"), (Level{1, 0, 0}));
    EXPECT_EQ(ParseLevel(""), (Level{0, 0, 0}));
}

TEST(ProfileText, MaskTexts)
{
    MaskEntry sEntry;
    std::memset(&sEntry, 0, sizeof sEntry);
    ParseMaskText("Cams,3,5,0,7", &sEntry);
    EXPECT_STREQ(sEntry.acName, "Cams");
    EXPECT_EQ(LevelsOf(sEntry), (std::vector<int>{3, 5}));

    ParseMaskText("Cams", &sEntry);
    EXPECT_STREQ(sEntry.acName, "Cams");
    EXPECT_TRUE(LevelsOf(sEntry).empty());

    // Runs of commas are one separator; levels outside 1..32 are passed over.
    ParseMaskText("Mix,,1,,33,-4,32,abc,9", &sEntry);
    EXPECT_STREQ(sEntry.acName, "Mix");
    EXPECT_EQ(LevelsOf(sEntry), (std::vector<int>{1, 32}));

    // Empty or starting with a comma: the name stays as it was.
    ParseMaskText(",1,2", &sEntry);
    EXPECT_STREQ(sEntry.acName, "Mix");
    EXPECT_TRUE(LevelsOf(sEntry).empty());
    ParseMaskText("", &sEntry);
    EXPECT_STREQ(sEntry.acName, "Mix");

    // A long name is cut to 32 characters.
    std::string name(40, 'N');
    ParseMaskText((name + ",2").c_str(), &sEntry);
    EXPECT_EQ(std::string(sEntry.acName), std::string(32, 'N'));
    EXPECT_EQ(LevelsOf(sEntry), (std::vector<int>{2}));

    // At most 32 level fields are read.
    std::string many = "Many";
    for (int i = 0; i < 32; ++i) many += ",1";
    ParseMaskText((many + ",2").c_str(), &sEntry);
    EXPECT_EQ(LevelsOf(sEntry), (std::vector<int>{1}));
}

TEST(ProfileText, AccessTexts)
{
    std::vector<int> all;
    for (int n = 0; n <= 1000; ++n) all.push_back(n);
    EXPECT_EQ(Granted("ALL"), all);
    EXPECT_EQ(Granted("3,ALL"), all);
    EXPECT_EQ(Granted("XBALLY"), all);
    EXPECT_EQ(Granted("1,5-7,1000"), (std::vector<int>{0, 1, 5, 6, 7}));
    EXPECT_EQ(Granted("7-5"), (std::vector<int>{0}));
    EXPECT_EQ(Granted(""), (std::vector<int>{0}));
    EXPECT_EQ(Granted("0,,X,-2"), (std::vector<int>{0}));
    EXPECT_EQ(Granted("998-2147483647"), (std::vector<int>{0, 998, 999}));
    EXPECT_EQ(Granted("-2147483648-2"), (std::vector<int>{0, 1, 2}));

    // A range whose second number cannot be read grants nothing.
    EXPECT_EQ(Granted("5-,9"), (std::vector<int>{0, 9}));
    EXPECT_EQ(Granted("5 - 7"), (std::vector<int>{0}));
    EXPECT_EQ(Granted("4-x"), (std::vector<int>{0}));

    // A field longer than 79 characters is read whole.
    std::string longField = std::string(100, '0') + "12";
    EXPECT_EQ(Granted((longField + ",3-" + longField).c_str()),
              (std::vector<int>{0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(ProfileText, DebugLinesAreCutAndKeepTheirNewline)
{
    char acLine[256];
    FormatDebugLine(acLine, "Parsing - [RF 201 7]");
    EXPECT_STREQ(acLine, "<GR>-Parsing - [RF 201 7]\n");

    std::string text249(249, 'a');
    FormatDebugLine(acLine, text249.c_str());
    EXPECT_EQ(std::string(acLine), "<GR>-" + text249 + "\n");
    FormatDebugLine(acLine, (text249 + "bbbbbbbb").c_str());
    EXPECT_EQ(std::string(acLine), "<GR>-" + text249 + "\n");
}
