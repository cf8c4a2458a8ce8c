#include "sitetools/check/profile_check.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sitetools/sitefiles.h"
#include "sitetools/test/run_tool.h"
#include "tests/support/driver_fixture.h"
#include "tests/support/take_cases.h"

namespace {

// A complete, clean profile of device 201 (the demo site's), section by
// section; each row of the table below changes one key of it.
typedef std::vector<std::pair<std::string, std::string>> Keys;
std::vector<std::pair<std::string, Keys>> CleanProfile()
{
    return {
        {"Database", {{"DatabaseSize_0", "16"}, {"DatabaseSize_1", "40"}}},
        {"Combiner",
         {{"Name", "Test router"}, {"SaveDelay", "5"}, {"SrcePkgInfoId", "202"}, {"DestPkgInfoId", "203"},
          {"LevelMapInfoId", "204"}, {"DebugMode", "0"}, {"NameLength", "8"}, {"RevertiveLevel", "0"},
          {"Simulation", "0"}, {"ExternalDLL", "NONE"}, {"JournalSize", "1024"}}},
        {"Levels",
         {{"Level_01", "F,R,101"}, {"Level_02", "F,R,102"}, {"Level_03", "R,R,103"}, {"Level_04", "F,G,104"},
          {"Level_05", "F,I,105"}}},
        {"Masks", {{"Mask_01", "VIDEO,1,2"}, {"Mask_02", "AUDIO,3"}, {"Mask_03", "ALL,1,2,3,4,5"}}},
        {"Security", {{"Access", "ALL"}}},
    };
}

const char kRemove[] = "\x01remove";

// The clean profile with one key set (or removed), as INI text.
std::string ProfileText(const std::string& sSection, const std::string& sKey, const std::string& sValue)
{
    auto aSection = CleanProfile();
    bool bDone = sSection.empty();
    for (auto& section : aSection) {
        if (section.first != sSection) continue;
        for (auto it = section.second.begin(); it != section.second.end(); ++it) {
            if (it->first != sKey) continue;
            if (sValue == kRemove) section.second.erase(it);
            else it->second = sValue;
            bDone = true;
            break;
        }
        if (!bDone) section.second.push_back({sKey, sValue});
        bDone = true;
    }
    if (!bDone) aSection.push_back({sSection, {{sKey, sValue}}});
    std::string sText;
    for (const auto& section : aSection) {
        sText += "[" + section.first + "]\r\n";
        for (const auto& key : section.second) sText += key.first + "=" + key.second + "\r\n";
    }
    return sText;
}

struct Expected {
    Severity eSeverity;
    const char* pKey;      // part of the finding's key
    const char* pEffect;   // part of what it says the driver does
};

std::string Repeated(const char* pText, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) s += pText;
    return s;
}

std::string Numbers(int iFirst, int iLast)
{
    std::string s;
    for (int i = iFirst; i <= iLast; ++i) s += (i > iFirst ? "," : "") + std::to_string(i);
    return s;
}

class ZurcheckProfile : public ::testing::Test {
protected:
    void SetUp() override { sFile = TempFile("DEV_201", "INI"); }
    void TearDown() override
    {
        DeleteFileA(sFile.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());
    }
    // The findings of the checker on the profile text, read through the
    // platform's profile functions exactly as zurcheck reads it.
    std::vector<Finding> Check(const std::string& sText)
    {
        WriteTextFile(sFile, sText);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());   // drop a cached copy
        std::vector<Finding> aFindings;
        CheckDeviceProfile(ProfileFileSource(sFile), 201, &profile, &aFindings);
        return aFindings;
    }
    std::string sFile;
    SiteProfile profile;
};

}  // namespace

// One small broken profile per finding. Every expected finding must be
// there, and no other warning or error.
TEST_F(ZurcheckProfile, FindingsOnSmallBrokenProfiles)
{
    const std::string sLongAccess = Numbers(1, 120);   // 410 characters
    const std::string sLongName(36, 'N');
    struct Row {
        const char* pSection;
        const char* pKey;
        std::string sValue;
        std::vector<Expected> aExpected;
    } aRow[] = {
        {"", "", "", {}},
        {"Database", "DatabaseSize_0", "\"16\"", {}},   // quotes are the platform's, not the value's
        {"Database", "DatabaseSize_0", kRemove, {{kError, "[Database] DatabaseSize_0", "has not been set"}}},
        {"Database", "DatabaseSize_1", "0", {{kError, "DatabaseSize_1", "below 1: the driver shows"}}},
        {"Database", "DatabaseSize_1", "abc", {{kError, "DatabaseSize_1", "not a number, read as 0"}}},
        {"Database", "DatabaseSize_0", "5000", {{kWarning, "DatabaseSize_0", "the driver uses 4096"}}},
        {"Database", "DatabaseSize_1", "000000040", {}},   // read whole, not cut to 8 characters
        {"Combiner", "SaveDelay", "-3", {{kWarning, "SaveDelay", "saved only when the driver ends"}}},
        {"Combiner", "SaveDelay", "abc", {{kWarning, "SaveDelay", "not a number: the driver writes SaveDelay=5"}}},
        {"Combiner", "SrcePkgInfoId", kRemove, {{kNote, "SrcePkgInfoId", "writes SrcePkgInfoId=202"}}},
        {"Combiner", "DestPkgInfoId", "202", {{kError, "DestPkgInfoId", "the same InfoDriver as SrcePkgInfoId"}}},
        {"Combiner", "LevelMapInfoId", "201", {{kError, "LevelMapInfoId", "own device number"}}},
        {"Combiner", "SrcePkgInfoId", "1000", {{kError, "SrcePkgInfoId", "outside 1..999"}}},
        {"Combiner", "NameLength", kRemove, {{kNote, "NameLength", "writes NameLength=8"}}},
        {"Combiner", "RevertiveLevel", "33", {{kWarning, "RevertiveLevel", "outside 0..32"}}},
        {"Combiner", "RevertiveLevel", "9",
         {{kWarning, "RevertiveLevel", "not defined"}, {kWarning, "RevertiveLevel", "no mask includes level 9"}}},
        {"Combiner", "ExternalDLL", "abcdefghijklmnopqrstuvwxyz0123456789.dll",
         {{kError, "ExternalDLL", "longer than 31 characters: the driver loads no library"}}},
        {"Combiner", "JournalSize", kRemove, {{kNote, "JournalSize", "writes JournalSize=1024"}}},
        {"Combiner", "JournalSize", "1O24", {{kWarning, "JournalSize", "keeps no take journal"}}},
        {"Combiner", "JournalSize", "-5", {{kWarning, "JournalSize", "keeps no take journal"}}},
        {"Combiner", "DebugMod", "1", {{kWarning, "[Combiner] DebugMod", "never reads this key"}}},
        {"Level", "Level_01", "F,R,5", {{kWarning, "[Level]", "no section of this name"}}},
        {"Levels", "Level_02", "f,R,102", {{kError, "Level_02", "the driver takes the level as reverse"}}},
        {"Levels", "Level_03", "F,X,103", {{kError, "Level_03", "never issues a command"}}},
        {"Levels", "Level_04", "F,G,abc", {{kError, "Level_04", "outside 1..999"}}},
        {"Levels", "Level_05", "F,I,201", {{kError, "Level_05", "this driver itself"}}},
        {"Levels", "Level_01", "F,R,203", {{kError, "Level_01", "the destination package InfoDriver"}}},
        {"Levels", "Level_04", "F,G,1O4", {{kWarning, "Level_04", "ignored: the target device is 1"}}},
        {"Levels", "Level_32", "F,R,132", {{kWarning, "Level_32", "level 32 never receives a value"}}},
        {"Levels", "Level_32", "F,R,32", {{kNote, "Level_32", "level 32 never receives a value"}}},
        {"Levels", "Level_01", "F,R," + std::string(80, ' ') + "101", {}},
        {"Masks", "Mask_01", "VIDEO,1,33", {{kError, "Mask_01", "level 33 does not exist"}}},
        {"Masks", "Mask_01", "VIDEO,1,32", {{kWarning, "Mask_01", "including it switches nothing"}}},
        {"Masks", "Mask_01", "VIDEO,1,1", {{kNote, "Mask_01", "level 1 is listed twice"}}},
        {"Masks", "Mask_02", "VIDEO,3", {{kError, "Mask_02", "the same name as Mask_01"}}},
        {"Masks", "Mask_04", "MASKNAME_05,1", {{kError, "Mask_05", "the same name as Mask_04"}}},
        {"Masks", "Mask_01", sLongName + ",1", {{kError, "Mask_01", "keeps and compares 32"}}},
        {"Masks", "Mask_01", "1st,1", {{kError, "Mask_01", "begins with a digit"}}},
        {"Masks", "Mask_04", "---,1,2", {{kNote, "Mask_04", "takes from the panel switch its levels"}}},
        {"Masks", "Mask_01", "Bob's,1", {{kError, "Mask_01", "holds a quote"}}},
        // The platform strips the blanks around the value only: the name
        // keeps the blank before the comma.
        {"Masks", "Mask_01", "VIDEO , 1, 2",
         {{kWarning, "Mask_01", "only a take whose mask text is 'VIDEO ' exactly selects this mask, and 'VIDEO' "
                                "selects no mask"}}},
        {"Masks", "Mask_01", "VI\x01" "DEO,1", {{kWarning, "Mask_01", "the control character 0x01"}}},
        {"Levels", "Level_01", "F,R,-5", {{kError, "Level_01", "the target device -5 is outside 1..999"}}},
        {"Levels", "Level_03", "R,R,0", {{kError, "Level_03", "the target device 0 is outside 1..999"}}},
        {"Levels", "Level_04", "R,G,65636", {{kError, "Level_04", "the target device 65636 is outside 1..999"}}},
        {"Levels", "Level_05", "x,I,1000",
         {{kError, "Level_05", "takes the level as reverse"}, {kError, "Level_05", "1000 is outside 1..999"}}},
        {"Masks", "Mask_03", "ALL,1,x,5", {{kError, "Mask_03", "ends at \"x\""}}},
        {"Masks", "Mask_01", ",1,2", {{kError, "Mask_01", "begins with a comma"}}},
        {"Masks", "Mask_01", "VIDEO" + Repeated(",1", 33), {{kError, "Mask_01", "only 32 level numbers"}}},
        {"Security", "Access", "1,5-", {{kError, "Access", "the second number of the range"}}},
        {"Security", "Access", "1,7-5", {{kError, "Access", "runs backwards"}}},
        {"Security", "Access", "1,1000", {{kError, "Access", "1000 only through ALL"}}},
        {"Security", "Access", "1,abc", {{kError, "Access", "no workstation number"}}},
        {"Security", "Access", "1,5 - 7", {{kError, "Access", "must follow the first number"}}},
        {"Security", "Access", "1,12x", {{kWarning, "Access", "read as workstation 12"}}},
        {"Security", "Access", "900-1200", {{kWarning, "Access", "grants only 900-999"}}},
        {"Security", "Access", "1,all5", {{kWarning, "Access", "every workstation 1..1000"}}},
        {"Security", "Access", sLongAccess, {}},
        {"Security", "Access", std::string(40000, '1'), {{kError, "Access", "longer than 32767 characters"}}},
        {"Security", "Access", "", {{kWarning, "Access", "no workstation but the panel"}}},
    };
    for (const Row& row : aRow) {
        const std::vector<Finding> aFindings = Check(ProfileText(row.pSection, row.pKey, row.sValue));
        const std::string sRow = "[" + std::string(row.pSection) + "] " + row.pKey + "=" + row.sValue + ":\n" +
                                 FormatFindingsText(aFindings);
        int nExpectedSerious = 0;
        for (const Expected& expected : row.aExpected) {
            nExpectedSerious += expected.eSeverity != kNote;
            bool bFound = false;
            for (const Finding& f : aFindings) {
                bFound = bFound || (f.eSeverity == expected.eSeverity && Contains(f.sKey, expected.pKey) &&
                                    Contains(f.sEffect, expected.pEffect));
            }
            EXPECT_TRUE(bFound) << "expected " << SeverityName(expected.eSeverity) << " " << expected.pKey << ": "
                                << expected.pEffect << "\n" << sRow;
        }
        int nSerious = 0;
        for (const Finding& f : aFindings) nSerious += f.eSeverity != kNote;
        EXPECT_EQ(nSerious, nExpectedSerious) << sRow;
    }
}

// The checker's view is the driver's: defaults filled in as the driver
// writes them, values as its parsers read them.
TEST_F(ZurcheckProfile, LoadsTheProfileAsTheDriver)
{
    Check("[Database]\nDatabaseSize_0=5000\nDatabaseSize_1=40\n[Combiner]\nSaveDelay=0\n"
          "[Levels]\nLevel_03=R,G,12\n[Masks]\nMask_02=Cams,3,5,0,7\n[Security]\nAccess=1,5-7\n");
    EXPECT_EQ(profile.DatabaseSize_0, 4096);
    EXPECT_EQ(profile.SaveDelay, 5);
    EXPECT_EQ(profile.SrcePkgInfoId, 202);
    EXPECT_EQ(profile.LevelMapInfoId, 204);
    EXPECT_EQ(profile.NameLength, 8);
    EXPECT_STREQ(profile.ExternalDLL, "NONE");
    EXPECT_EQ(profile.JournalSize, 1024);
    EXPECT_EQ(profile.sLevel[3].iType, 2);
    EXPECT_EQ(profile.sLevel[3].iKind, 2);
    EXPECT_EQ(profile.sLevel[3].iTarget, 12);
    EXPECT_EQ(profile.sLevel[7].iTarget, 7);   // the default F,R,7
    EXPECT_EQ(profile.abLevelSet[7], 0);
    EXPECT_STREQ(profile.sMask[2].acName, "Cams");
    EXPECT_EQ(profile.sMask[2].aiLevels[5], 1);
    EXPECT_EQ(profile.sMask[2].aiLevels[7], -1);
    EXPECT_STREQ(profile.sMask[9].acName, "MASKNAME_09");
    EXPECT_EQ(profile.abAccess[6], 1);
    EXPECT_EQ(profile.abAccess[8], 0);
}

namespace {

class Zurcheck : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateSite(&site)); }
    void TearDown() override { RemoveSite(&site); }
    void WriteProfile(const std::string& sSection, const std::string& sKey, const std::string& sValue)
    {
        ASSERT_TRUE(WriteTextFile(SiteFile(&site, "DEV_201.INI"), ProfileText(sSection, sKey, sValue)));
    }
    ToolRun Check(const std::string& sArgs = "201") { return RunTool("zurcheck.exe", sArgs, &site); }
    DriverSite site;
};

}  // namespace

TEST_F(Zurcheck, ExitCodesReportAndJson)
{
    ToolRun run = RunTool("zurcheck.exe", "", nullptr);
    EXPECT_EQ(run.dwExit, 3u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "DEVICE is missing")) << run.sOutput;

    run = Check();
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "error    DEV_201.INI (missing)")) << run.sOutput;

    WriteProfile("Combiner", "NameLength", kRemove);
    const std::string sProfile = ReadBinaryFile(SiteFile(&site, "DEV_201.INI"));
    run = Check();
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "note     [Combiner] NameLength (missing)\r\n"
                                      "         the driver writes NameLength=8\r\n")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "0 errors, 0 warnings, 3 notes")) << run.sOutput;
    // The missing key is reported, not written.
    EXPECT_EQ(ReadBinaryFile(SiteFile(&site, "DEV_201.INI")), sProfile);

    WriteProfile("Combiner", "SaveDelay", "-3");
    EXPECT_EQ(Check().dwExit, 1u);

    WriteProfile("Database", "DatabaseSize_1", kRemove);
    run = Check("--json 201");
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "{\"device\":201,\"profile\":")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "\"errors\":1,\"warnings\":0,\"notes\":2,\"findings\":[{\"severity\":\"error\","
                                      "\"key\":\"[Database] DatabaseSize_1\",\"value\":null,")) << run.sOutput;

    run = RunTool("zurcheck.exe", "--help", nullptr);
    EXPECT_EQ(run.dwExit, 0u);
    EXPECT_TRUE(Contains(run.sOutput, "usage: zurcheck DEVICE")) << run.sOutput;
}

// The library is loaded as the driver loads it: a bare name is found beside
// the program (the filter stand-in lies beside zurcheck in the build).
TEST_F(Zurcheck, ExternalDllLoadedAsTheDriverLoadsIt)
{
    struct {
        const char* pName;
        DWORD dwExit;
        const char* pSays;
    } aCase[] = {
        {"zurfilter.dll", 0, "its combinerOutputFilter sees every level command"},
        {"kernel32.dll", 2, "exports no combinerOutputFilter"},
        {"nosuchfilter.dll", 2, "not found where the driver looks"},
        {"none", 2, "only NONE in capitals means no library"},
    };
    for (const auto& c : aCase) {
        WriteProfile("Combiner", "ExternalDLL", c.pName);
        ToolRun run = Check();
        EXPECT_EQ(run.dwExit, c.dwExit) << run.sOutput;
        EXPECT_TRUE(Contains(run.sOutput, c.pSays)) << run.sOutput;
    }
}

TEST_F(Zurcheck, SlotFiles)
{
    WriteProfile("", "", "");
    const std::string sSources = site.sRoot + "\\sources.txt";
    const std::string sDests = site.sRoot + "\\dests.txt";
    const std::string sMaps = site.sRoot + "\\levelmap.txt";
    ASSERT_TRUE(WriteTextFile(sSources, "# sources\n12 5,7,9,1,Camera 1\n13 6,,0,0,Presenter\n"));
    ASSERT_TRUE(WriteTextFile(sDests, "34 20,21,30,4,12\n35 22,23,31,5,13\n"));
    ASSERT_TRUE(WriteTextFile(sMaps, "35 1,2,0,4,5\n"));
    const std::string sArgs =
        "201 --sources \"" + sSources + "\" --dests \"" + sDests + "\" --levelmap \"" + sMaps + "\"";
    ToolRun run = Check(sArgs);
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "error    sources.txt:3 source package 13 level 2 = \"\"")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "error    dests.txt:2 destination package 35 level 3 = \"31\"\r\n"
                                      "         level map slot 35 (levelmap.txt:1) leaves level 3 unmapped"))
        << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "warning  levelmap.txt:1 level map slot 35")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "2 errors, 1 warning, 2 notes")) << run.sOutput;

    ASSERT_TRUE(WriteTextFile(sMaps, "35 1,2,3\nx 1\n0 1\n"));
    run = Check(sArgs);
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "levelmap.txt:2: expected a slot number first\r\n")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "levelmap.txt:3: slot number outside 1..4096\r\n"
                                      "zurcheck: 2 errors, nothing checked\r\n")) << run.sOutput;

    // As a Windows editor saves them: a byte-order mark and CRLF.
    ASSERT_TRUE(WriteTextFile(sSources, "\xEF\xBB\xBF" "12 5,7,9,1,Camera 1\r\n13 6,8,0,0,Presenter\r\n"));
    ASSERT_TRUE(WriteTextFile(sMaps, "\xEF\xBB\xBF" "35 1,2,3,4,5\r\n"));
    run = Check(sArgs);
    EXPECT_FALSE(Contains(run.sOutput, "expected a slot number")) << run.sOutput;
    EXPECT_FALSE(Contains(run.sOutput, "sources.txt:1")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, " notes\r\n")) << run.sOutput;   // the report, to its end
}

// Without CC_ROOT/CC_SYSTEM the driver reads c:\kelm_config.ini, and when
// that names no directory it takes the Windows directory and records it:
// the checker takes the same directories and records nothing.
TEST_F(Zurcheck, FindsTheDirectoryAsTheDriverWithoutWriting)
{
    const char kFile[] = "c:\\kelm_config.ini";
    const std::string sBackup = TempFile("kelm_config", "ini");
    const bool bHadFile = CopyFileA(kFile, sBackup.c_str(), FALSE) != 0;
    DeleteFileA(kFile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);
    SetEnvironmentVariableA("CC_ROOT", nullptr);
    SetEnvironmentVariableA("CC_SYSTEM", nullptr);

    ToolRun run = RunTool("zurcheck.exe", "201", nullptr);
    EXPECT_TRUE(Contains(run.sOutput, "the Windows directory: c:\\kelm_config.ini has no [Config] ConfigPath"))
        << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "note     [Config] ConfigPath of c:\\kelm_config.ini")) << run.sOutput;
    EXPECT_EQ(GetFileAttributesA(kFile), INVALID_FILE_ATTRIBUTES);

    WriteProfile("", "", "");
    WritePrivateProfileStringA("Config", "ConfigPath", site.sConfig.c_str(), kFile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);
    const std::string sConfigFile = ReadBinaryFile(kFile);
    run = RunTool("zurcheck.exe", "201", nullptr);
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "profile " + site.sConfig + "\\DEV_201.INI\r\n"
                                      "          (configuration directory from [Config] ConfigPath of "
                                      "c:\\kelm_config.ini)")) << run.sOutput;
    EXPECT_EQ(ReadBinaryFile(kFile), sConfigFile);

    DeleteFileA(kFile);
    if (bHadFile) MoveFileExA(sBackup.c_str(), kFile, MOVEFILE_REPLACE_EXISTING);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);
}

namespace {

// What zurcheck --take says goes to RVX, in order: "message value text" of
// each level that sends, then the revertive.
std::vector<std::string> PreviewSent(const std::string& sOutput)
{
    std::vector<std::string> asSent;
    std::istringstream lines(sOutput);
    std::string sLine;
    while (std::getline(lines, sLine)) {
        if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
        std::istringstream words(sLine);
        std::string sWord, sLevel, sDecision;
        words >> sWord;
        if (sWord == "level") {
            words >> sLevel >> sDecision;
            if (sDecision != "sends") continue;
        } else if (sWord != "revertive" || sLine == "revertive none") {
            continue;
        }
        words >> std::ws;
        std::string sRest;
        std::getline(words, sRest);
        asSent.push_back(sRest);
    }
    return asSent;
}

}  // namespace

// zurcheck --take on the profile and the packages of the driver's
// end-to-end takes: each take previews exactly the level commands and the
// revertive that RVX receives from the driver there, in their order.
TEST_F(Zurcheck, TakePreviewSendsWhatTheDriverSends)
{
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\n", kTakeLevels));
    std::string asSlots[3] = {"11 5,7,6,1,Camera 1\n12 5,7,9,1,Camera 1\n13 5,7,0,1,Camera 1\n",
                              "34 20,21,30,4,12\n35 20,21,30,0,12\n", ""};
    struct Take {
        std::string sName;
        std::string sArgs;   // S D MASK W and --previous
        std::vector<std::string> asSent;
        DWORD dwExit;        // 99: not checked
    };
    std::vector<Take> aTake = {
        {"worked example", "12 34 \",1,2,3,4,5\" 7", kWorkedExampleSent, 0},
        {"park variant", "13 34 \",1,2,3,4,5\" 7 --previous 11", kParkVariantSent, 0},
        {"source 0", "0 35 \",1\" 7", {}, 2},
        {"source beyond DatabaseSize_0", "161 35 \",1\" 7", {}, 2},
        {"destination 0", "12 0 \",1\" 7", {}, 2},
        {"destination beyond DatabaseSize_1", "12 161 \",1\" 7", {}, 2},
        {"workstation outside the table", "12 35 \",1\" 1001", {}, 2},
    };
    const int nStep = static_cast<int>(sizeof kTakeSteps / sizeof kTakeSteps[0]);
    for (int k = 0; k < nStep; ++k) {
        const TakeStepCase& c = kTakeSteps[k];
        const std::string sDest = std::to_string(40 + k);
        const std::string sSource = std::to_string(80 + k);
        if (c.pPrev != nullptr) asSlots[0] += sDest + " " + c.pPrev + "\n";
        asSlots[0] += sSource + " " + c.pSrc + "\n";
        asSlots[1] += sDest + " " + c.pDst + "\n";
        if (c.pMap != nullptr) asSlots[2] += sDest + " " + c.pMap + "\n";
        Take take = {c.pName, sSource + " " + sDest + " \"" + c.pMask + "\" 7", c.asSent, 99};
        if (c.pPrev != nullptr) take.sArgs += " --previous " + sDest;
        take.asSent.push_back(Revertive(40 + k, 80 + k));
        aTake.push_back(take);
    }
    const char* apFile[3] = {"sources.txt", "dests.txt", "levelmap.txt"};
    std::string sFiles;
    const char* apOption[3] = {" --sources ", " --dests ", " --levelmap "};
    for (int i = 0; i < 3; ++i) {
        const std::string sPath = site.sRoot + "\\" + apFile[i];
        ASSERT_TRUE(WriteTextFile(sPath, asSlots[i]));
        sFiles += apOption[i] + ("\"" + sPath + "\"");
    }
    for (const Take& take : aTake) {
        ToolRun run = Check("201 --take " + take.sArgs + sFiles);
        EXPECT_EQ(PreviewSent(run.sOutput), take.asSent) << take.sName << "\n" << run.sOutput;
        if (take.dwExit != 99) {
            EXPECT_EQ(run.dwExit, take.dwExit) << take.sName << "\n" << run.sOutput;
        }
    }

    // The same in JSON.
    ToolRun run = Check("201 --json --take 12 34 \",1,2,3,4,5\" 7" + sFiles);
    EXPECT_TRUE(Contains(run.sOutput, "\"levels\":[{\"level\":1,\"decision\":\"sends\",\"message\":2124,"
                                      "\"value\":101,\"text\":\"RC 101 5 20 ',---' 7\"},")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "\"route\":{\"recorded\":true,\"before\":0,\"after\":12},\"revertive\":"
                                      "{\"message\":2187,\"value\":0,\"text\":\"RR 201 034 012\"}")) << run.sOutput;

    // RevertiveLevel 2 and a take that leaves level 2 out: the level
    // commands go, the route index and the revertive stay. The switch of
    // level 4 (destination value 0) is listed but never sent.
    ASSERT_TRUE(WriteSiteProfile(&site, kTakeDatabase, 0, "ExternalDLL=NONE\nRevertiveLevel=2\n", kTakeLevels));
    run = Check("201 --take 12 35 \",1,3,4\" 7" + sFiles);
    EXPECT_EQ(PreviewSent(run.sOutput),
              (std::vector<std::string>{"2124 101 RC 101 5 20 ',---' 7", "2124 103 RC 103 30 9 ',---' 7"}))
        << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "level 4  blocked      2134 104 GS 104 0 1 7\r\n")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "route    aiIndex[35] stays 0")) << run.sOutput;
    EXPECT_EQ(run.dwExit, 1u) << run.sOutput;
}

// A take on a profile the checker warns about: the preview repeats the
// findings of the keys the take uses, says which mask text selects a name
// with a blank, and shows the value RVX receives (16 bits of it).
TEST_F(Zurcheck, TakePreviewCarriesTheProfileFindingsOfItsKeys)
{
    const std::string sSources = site.sRoot + "\\sources.txt";
    const std::string sDests = site.sRoot + "\\dests.txt";
    ASSERT_TRUE(WriteTextFile(sSources, "12 5,7,9,1,Camera 1\n"));
    ASSERT_TRUE(WriteTextFile(sDests, "34 20,21,30,4,12\n"));
    const std::string sFiles = " --sources \"" + sSources + "\" --dests \"" + sDests + "\"";

    WriteProfile("Levels", "Level_01", "F,R,-5");
    ToolRun run = Check("201 --take 12 34 \",1\" 7" + sFiles);
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_EQ(PreviewSent(run.sOutput)[0], "2124 65531 RC -5 5 20 ',---' 7") << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "the value -5 reaches RVX as 65531: the message carries 16 bits")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "error    [Levels] Level_01 = \"F,R,-5\"")) << run.sOutput;
    run = Check("201 --json --take 12 34 \",1\" 7" + sFiles);
    EXPECT_TRUE(Contains(run.sOutput, "\"value\":65531,\"text\":\"RC -5 5 20 ',---' 7\",\"target\":-5")) << run.sOutput;
    // A level the take leaves out keeps its findings out of the preview.
    run = Check("201 --take 12 34 \",2\" 7" + sFiles);
    EXPECT_FALSE(Contains(run.sOutput, "Level_01")) << run.sOutput;

    WriteProfile("Masks", "Mask_01", "VISION , 1, 3");
    run = Check("201 --take 12 34 VISION 7" + sFiles);
    EXPECT_EQ(run.dwExit, 1u) << run.sOutput;
    EXPECT_TRUE(PreviewSent(run.sOutput).size() == 1u) << run.sOutput;   // the revertive only
    EXPECT_TRUE(Contains(run.sOutput, "no mask has this name")) << run.sOutput;
    run = Check("201 --take 12 34 \"VISION \" 7" + sFiles);
    EXPECT_EQ(PreviewSent(run.sOutput).size(), 3u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "warning  [Masks] Mask_01 = \"VISION , 1, 3\"")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "only a take whose mask text is 'VISION ' exactly")) << run.sOutput;
    run = Check();
    EXPECT_EQ(run.dwExit, 1u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "and 'VISION' selects no mask")) << run.sOutput;
}
