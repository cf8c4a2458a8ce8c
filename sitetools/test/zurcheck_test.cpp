#include "sitetools/check/profile_check.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sitetools/sitefiles.h"
#include "sitetools/test/profile_cases.h"
#include "sitetools/test/run_tool.h"
#include "tests/support/driver_fixture.h"
#include "tests/support/take_cases.h"

namespace {

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
    for (const ProfileRow& row : BrokenProfileRows()) {
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
