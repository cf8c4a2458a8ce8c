#include "sitetools/check/package_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Levels 1, 2 forward routes, 3 a reverse route, 4 a forward general
// switch, 5 a forward and 6 a reverse InfoDriver write; 7..32 F,R,n.
struct SampleLevels {
    LevelEntry asLevel[kLevelCount + 1];
    SampleLevels()
    {
        std::memset(asLevel, 0, sizeof asLevel);
        const int aiConfig[6][3] = {{1, 1, 101}, {1, 1, 102}, {2, 1, 103}, {1, 2, 104}, {1, 3, 105}, {2, 3, 106}};
        for (int L = 1; L <= kLevelCount; ++L) {
            asLevel[L].iType = L <= 6 ? aiConfig[L - 1][0] : 1;
            asLevel[L].iKind = L <= 6 ? aiConfig[L - 1][1] : 1;
            asLevel[L].iTarget = L <= 6 ? aiConfig[L - 1][2] : L;
        }
    }
};

std::string Fields(int n, const char* pEach)
{
    std::string s;
    for (int i = 1; i <= n; ++i) s += (i > 1 ? "," : "") + std::string(pEach);
    return s;
}

std::string Describe(const std::vector<Finding>& aFindings)
{
    return FormatFindingsText(aFindings);
}

}  // namespace

// Each row is one package, destination with its level map, or level map,
// with one thing in it that the take treats otherwise than it reads.
TEST(PackageCheck, SlotFindings)
{
    const std::string sLong = "1,2,3,4," + std::string(260, 'x') + ",6";   // level 6 lies beyond 256 characters
    struct Row {
        char cFile;              // 'S' source, 'D' destination, 'M' level map
        std::string sText;
        std::string sMap;        // 'D': the level-map slot of the destination, "(none)": no level-map file
        int iSeverity;           // -1: no warning or error at all
        const char* pKey;
        const char* pEffect;
    } aRow[] = {
        {'S', "5,7,9,1,Camera 1", "(none)", -1, "", ""},
        {'S', "5,,7,1,Cam", "(none)", kError, "source package 12 level 2", "empty field ends the package"},
        {'S', "abc,7,9,1,Cam", "(none)", kError, "level 1", "not a number"},
        {'S', "5,7x,9,1,Cam", "(none)", kWarning, "level 2", "read as 7"},
        {'S', "5,7,5000,1,Cam", "(none)", kError, "level 3", "above 4096"},
        // A forward switch reduces its source value to 0 or 1 before the
        // 4096 check: 5000 is sent as state 1.
        {'S', "5,7,9,5000,Cam", "(none)", -1, "", ""},
        {'S', "5,7,9,1,Bob's cam", "(none)", kError, "level 5", "receiver reads the text \"Bob\""},
        {'S', "5,7,9,1,5000 Hz", "(none)", kError, "level 5", "begins with the number 5000"},
        {'S', "5,7,9,1,-", "(none)", -1, "", ""},
        {'S', Fields(33, "1"), "(none)", kError, "source package 12", "33 fields"},
        {'S', Fields(31, "1") + ",-,-", "(none)", -1, "", ""},
        {'S', sLong, "(none)", kError, "source package 12", "reads differently"},
        {'D', "20,21,30,4,12,Studio A", "", -1, "", ""},
        {'D', "0,21,30,4,12", "", kWarning, "destination package 12 level 1", "never sends"},
        {'D', "20,21,30,4,12,Bob's", "", kError, "level 6", "holds a quote"},
        {'D', "20,,30", "", kError, "level 2", "empty field ends the package"},
        {'D', "20,21,30,4,12", "1,2,0,4,5", kError, "level 3", "leaves level 3 unmapped"},
        {'D', "20,21,30,4", "1,2,3", kError, "level 4", "has no field for level 4: the level is unmapped"},
        {'D', "20,21,30,-,-", "1,2,3", -1, "", ""},
        {'D', "20,21,30,4,12", "7", -1, "", ""},   // replaced by the default map at start
        {'M', "", "1,2,40,4", kWarning, "level map slot 12", "level 3 \"40\""},
        {'M', "", "7", kWarning, "level map slot 12", "default map"},
        {'M', "", Fields(32, "1"), -1, "", ""},
    };
    SampleLevels levels;
    for (const Row& row : aRow) {
        std::vector<Finding> aFindings;
        const std::vector<PackageSlot> aPackage = {{12, "f.txt:3", row.sText}};
        const bool bMap = row.sMap != "(none)";
        const std::vector<PackageSlot> aMap = {{12, "m.txt:1", bMap ? row.sMap : ""}};
        if (row.cFile == 'S') CheckSourcePackages(levels.asLevel, 16, aPackage, &aFindings);
        if (row.cFile == 'D') CheckDestPackages(levels.asLevel, 40, aPackage, bMap ? &aMap : nullptr, &aFindings);
        if (row.cFile == 'M') CheckLevelMaps(aMap, &aFindings);
        const std::string sRow =
            std::string(1, row.cFile) + " \"" + row.sText + "\" map " + row.sMap + ":\n" + Describe(aFindings);
        int nSerious = 0;
        bool bFound = false;
        for (const Finding& f : aFindings) {
            nSerious += f.eSeverity != kNote;
            bFound = bFound || (f.eSeverity == row.iSeverity && f.sKey.find(row.pKey) != std::string::npos &&
                                f.sEffect.find(row.pEffect) != std::string::npos);
        }
        if (row.iSeverity < 0) {
            EXPECT_EQ(nSerious, 0) << sRow;
        } else {
            EXPECT_TRUE(bFound) << sRow;
            EXPECT_EQ(nSerious, 1) << sRow;
        }
    }
}

TEST(PackageCheck, PackagesBeyondTheDatabaseAreOnlyNoted)
{
    SampleLevels levels;
    std::vector<Finding> aFindings;
    CheckSourcePackages(levels.asLevel, 16, {{17, "s.txt:1", "abc,,x"}}, &aFindings);
    ASSERT_EQ(aFindings.size(), 1u) << Describe(aFindings);
    EXPECT_EQ(aFindings[0].eSeverity, kNote);
    EXPECT_NE(aFindings[0].sEffect.find("beyond DatabaseSize_0 (16)"), std::string::npos);
}
