#include "config/profile_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

// "type kind target" of a level text.
std::string Level(const char* pText)
{
    int iType = 9, iKind = 9, iTarget = 9;
    ParseLevelText(pText, &iType, &iKind, &iTarget);
    return std::to_string(iType) + " " + std::to_string(iKind) + " " + std::to_string(iTarget);
}

// "name:levels" of a mask text parsed over a previous name.
std::string Mask(const char* pText, const char* pPreviousName = "old")
{
    MaskEntry sEntry;
    std::memset(&sEntry, 0, sizeof sEntry);
    std::strcpy(sEntry.acName, pPreviousName);
    ParseMaskText(pText, &sEntry);
    std::string result = std::string(sEntry.acName) + ":";
    for (int n = 1; n <= kLevelCount; ++n) {
        EXPECT_TRUE(sEntry.aiLevels[n] == 1 || sEntry.aiLevels[n] == -1);
        if (sEntry.aiLevels[n] == 1) result += std::to_string(n) + ",";
    }
    return result;
}

// The granted workstations of an access text, "all" when 0..1000.
std::string Granted(const char* pText)
{
    std::vector<int> abAccess(1001, 5);
    ParseAccessText(pText, abAccess.data());
    std::string granted;
    int iCount = 0;
    for (int n = 0; n <= 1000; ++n) {
        EXPECT_TRUE(abAccess[n] == 0 || abAccess[n] == 1);
        if (abAccess[n] == 1 && ++iCount <= 20) granted += std::to_string(n) + ",";
    }
    return iCount == 1001 ? "all" : granted;
}


TEST(ProfileText, NumbersReadLikeScanf)
{
    int iValue = 77;
    EXPECT_EQ(ScanInt(" -12x", &iValue), 1);
    EXPECT_EQ(iValue, -12);
    for (const char* pNone : {"abc", "-", "", "+ 1"}) EXPECT_EQ(ScanInt(pNone, &iValue), 0) << pNone;
    EXPECT_EQ(iValue, -12);   // left alone
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

TEST(ProfileText, LevelAndMaskTexts)
{
    EXPECT_EQ(Level("R,G,12"), "2 2 12");
    EXPECT_EQ(Level("F,X,7"), "1 0 7");
    EXPECT_EQ(Level("f,r,3"), "0 0 3");
    EXPECT_EQ(Level("F,R"), "1 1 0");
    EXPECT_EQ(Level("F,I,"), "1 3 0");
    EXPECT_EQ(Level("R,R, 101x"), "2 1 101");
    EXPECT_EQ(Level(""), "0 0 0");

    EXPECT_EQ(Mask("Cams,3,5,0,7"), "Cams:3,5,");
    EXPECT_EQ(Mask("Cams"), "Cams:");
    EXPECT_EQ(Mask(",1,2"), "old:");   // the name stays as it was
    EXPECT_EQ(Mask(""), "old:");
    // Runs of commas are one separator; levels outside 1..32 are passed over.
    EXPECT_EQ(Mask("Mix,,1,,33,-4,32,abc,9"), "Mix:1,32,");
    // A long name is cut to 32 characters; at most 32 level fields are read.
    EXPECT_EQ(Mask((std::string(40, 'N') + ",2").c_str()), std::string(32, 'N') + ":2,");
    std::string many = "Many";
    for (int i = 0; i < 32; ++i) many += ",1";
    EXPECT_EQ(Mask((many + ",2").c_str()), "Many:1,");
}

TEST(ProfileText, AccessTexts)
{
    EXPECT_EQ(Granted("ALL"), "all");
    EXPECT_EQ(Granted("3,ALL"), "all");
    EXPECT_EQ(Granted("XBALLY"), "all");
    EXPECT_EQ(Granted("1,5-7,1000"), "0,1,5,6,7,");
    EXPECT_EQ(Granted("7-5"), "0,");
    EXPECT_EQ(Granted(""), "0,");
    EXPECT_EQ(Granted("0,,X,-2"), "0,");
    EXPECT_EQ(Granted("998-2147483647"), "0,998,999,");
    EXPECT_EQ(Granted("-2147483648-2"), "0,1,2,");
    // A range whose second number cannot be read grants nothing.
    EXPECT_EQ(Granted("5-,9"), "0,9,");
    EXPECT_EQ(Granted("5 - 7"), "0,");
    EXPECT_EQ(Granted("4-x"), "0,");
    // A field longer than 79 characters is read whole.
    std::string longField = std::string(100, '0') + "12";
    EXPECT_EQ(Granted((longField + ",3-" + longField).c_str()), "0,3,4,5,6,7,8,9,10,11,12,");
}

// The driver's decision on each kind of key, as the loader and zurcheck
// both take it: "verdict value written".
std::string Decided(ProfileKeyId eKey, const char* pValue, int iDevice = 20)
{
    const KeyDecision d = DecideKey(eKey, pValue, iDevice);
    return std::to_string(d.eVerdict) + " " + std::to_string(d.lValue) + " " + d.acWritten;
}

TEST(ProfileText, KeyDecisions)
{
    const std::string sUsed = std::to_string(kKeyUsed), sWritten = std::to_string(kKeyWritten);
    // A value read as 0 (missing, 0, no number, refused) gets the default
    // back; an InfoDriver id's default is the device number plus its offset.
    EXPECT_EQ(Decided(kKeySaveDelay, "0"), sWritten + " 5 5");
    EXPECT_EQ(Decided(kKeySaveDelay, "x"), sWritten + " 5 5");
    EXPECT_EQ(Decided(kKeySaveDelay, "-3"), sUsed + " -3 ");
    EXPECT_EQ(Decided(kKeyLevelMapInfoId, nullptr), sWritten + " 23 23");
    EXPECT_EQ(Decided(kKeySrcePkgInfoId, " 7abc"), sUsed + " 7 ");
    // Only the number for a missing key is replaced, not every odd one.
    EXPECT_EQ(Decided(kKeyDebugMode, "-1"), sWritten + " 0 0");
    EXPECT_EQ(Decided(kKeyDebugMode, "-2"), sUsed + " -2 ");
    EXPECT_EQ(Decided(kKeyNameLength, "-1"), sWritten + " 8 8");
    EXPECT_EQ(Decided(kKeyNameLength, nullptr), sUsed + " 0 ");
    // Limits: RevertiveLevel within 0..32, database sizes 1..4096.
    EXPECT_EQ(Decided(kKeyRevertiveLevel, "32"), sUsed + " 32 ");
    EXPECT_EQ(Decided(kKeyRevertiveLevel, "33"), sWritten + " 0 0");
    EXPECT_EQ(Decided(kKeyDatabaseSize0, "0"), std::to_string(kKeyNotSet) + " 0 ");
    EXPECT_EQ(Decided(kKeyDatabaseSize1, "99999999999"), std::to_string(kKeyBounded) + " 4096 ");
    EXPECT_EQ(DecideKey(kKeyDatabaseSize1, "5000", 1).lRead, 5000);
    // Texts: a short name is replaced; a library name too long to use, or
    // refused, loads none and writes nothing; a missing one gets NONE.
    EXPECT_EQ(Decided(kKeyName, "ab"), sWritten + " 0 Default");
    EXPECT_EQ(Decided(kKeyName, nullptr), std::to_string(kKeyRefused) + " 0 ");
    EXPECT_EQ(Decided(kKeyExternalDll, std::string(31, 'a').c_str()), sUsed + " 0 ");
    EXPECT_EQ(Decided(kKeyExternalDll, std::string(32, 'a').c_str()), std::to_string(kKeyTooLong) + " 0 ");
    EXPECT_EQ(Decided(kKeyExternalDll, nullptr), std::to_string(kKeyTooLong) + " 0 ");
    EXPECT_EQ(Decided(kKeyExternalDll, "default"), sWritten + " 0 NONE");
    EXPECT_EQ(Decided(kKeyJournalSize, "default"), sWritten + " 1024 1024");
    EXPECT_EQ(Decided(kKeyAccess, "ALL"), sWritten + " 0 ALL");
    EXPECT_EQ(Decided(kKeyAccess, "all"), sUsed + " 0 ");
    // The panel's columns: 8 characters for a width below 1, at most 64.
    EXPECT_EQ(ListColumnChars(0), 8);
    EXPECT_EQ(ListColumnChars(65), 64);
    EXPECT_EQ(ListColumnChars(12), 12);
}

}  // namespace
