#include "config/paths.h"
#include "config/test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kFile[] = "c:\\kelm_config.ini";
const char kBackup[] = "c:\\kelm_config.ini.zur-test";

void SetVariable(const char* pName, const std::string* pValue)
{
    SetEnvironmentVariableA(pName, pValue != nullptr ? pValue->c_str() : nullptr);
}

std::string Key(const char* pKey)
{
    char acValue[1024];
    GetPrivateProfileStringA("Config", pKey, "<missing>", acValue, sizeof acValue, kFile);
    return acValue;
}

std::string WindowsDir()
{
    char acDir[MAX_PATH];
    GetWindowsDirectoryA(acDir, sizeof acDir);
    return acDir;
}

// A directory call into a buffer of nSize bytes; "<failed>" when refused, and
// then the whole buffer must be zero.
std::string Dir(int (*pGet)(char*, int), int nSize = 512)
{
    std::vector<char> buffer(nSize, 'x');
    if (!pGet(buffer.data(), nSize)) {
        for (char c : buffer) EXPECT_EQ(c, '\0');
        return "<failed>";
    }
    std::string dir(buffer.data());
    for (size_t i = dir.size(); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\0');
    return dir;
}

// The system configuration file is shared by the whole machine: keep the one
// found and put it back afterwards.
class Paths : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sbHadFile = GetFileAttributesA(kFile) != INVALID_FILE_ATTRIBUTES;
        if (sbHadFile) CopyFileA(kFile, kBackup, FALSE);
    }
    static void TearDownTestSuite()
    {
        RemoveFile();
        if (sbHadFile) MoveFileExA(kBackup, kFile, MOVEFILE_REPLACE_EXISTING);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);
    }
    void SetUp() override
    {
        RemoveFile();
        SetVariable("CC_ROOT", nullptr);
        SetVariable("CC_SYSTEM", nullptr);
    }
    void TearDown() override
    {
        SetVariable("CC_ROOT", nullptr);
        SetVariable("CC_SYSTEM", nullptr);
    }
    static void RemoveFile()
    {
        DeleteFileA(kFile);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);   // drop cached copy
    }
    static void Write(const char* pKey, const char* pValue)
    {
        WritePrivateProfileStringA("Config", pKey, pValue, kFile);
    }
    static bool FileExists() { return GetFileAttributesA(kFile) != INVALID_FILE_ATTRIBUTES; }

    static bool sbHadFile;
};

bool Paths::sbHadFile = false;

}  // namespace

TEST_F(Paths, EnvironmentRouteLeavesTheFileAlone)
{
    std::string root = "D:\\CC", system = "studio2";
    SetVariable("CC_ROOT", &root);
    SetVariable("CC_SYSTEM", &system);
    EXPECT_EQ(Dir(GetConfigDir), "D:\\CC\\studio2\\config\\system");
    EXPECT_EQ(Dir(GetSystemDir), "D:\\CC\\studio2\\windows\\lib");
    EXPECT_EQ(Dir(GetTempDir), "D:\\CC\\studio2\\config\\system");
    EXPECT_FALSE(FileExists());

    // The root alone is not enough: the file is consulted.
    SetVariable("CC_SYSTEM", nullptr);
    Write("ConfigPath", "E:\\site\\cfg");
    EXPECT_EQ(Dir(GetConfigDir), "E:\\site\\cfg");
}

TEST_F(Paths, EnvironmentRouteUpToTheWorkingBufferLimit)
{
    Write("ConfigPath", "E:\\site\\cfg");
    Write("SystemPath", "E:\\site\\lib");
    std::string system = "s";
    SetVariable("CC_SYSTEM", &system);
    // Root, backslash and "s" joined to 497 characters: 511 with the suffix.
    std::string root = "Z:\\" + std::string(492, 'r');
    SetVariable("CC_ROOT", &root);
    EXPECT_EQ(Dir(GetConfigDir), root + "\\s\\config\\system");
    root += 'r';   // 498
    SetVariable("CC_ROOT", &root);
    EXPECT_EQ(Dir(GetConfigDir), "E:\\site\\cfg");
    EXPECT_EQ(Dir(GetSystemDir), root + "\\s\\windows\\lib");
    root += 'r';   // 499
    SetVariable("CC_ROOT", &root);
    EXPECT_EQ(Dir(GetSystemDir), root + "\\s\\windows\\lib");
    root += 'r';   // 500
    SetVariable("CC_ROOT", &root);
    EXPECT_EQ(Dir(GetSystemDir), "E:\\site\\lib");

    // The two values together may take the whole limit, not one more.
    char acJoined[514];
    std::string half(256, 'h');
    SetVariable("CC_ROOT", &half);
    SetVariable("CC_SYSTEM", &half);
    ASSERT_TRUE(JoinRootSystem(acJoined, 512));
    EXPECT_EQ(std::string(acJoined), half + "\\" + half);
    std::string more = half + "h";
    SetVariable("CC_SYSTEM", &more);
    EXPECT_FALSE(JoinRootSystem(acJoined, 512));
}

TEST_F(Paths, WindowsDirectoryIsUsedAndRecordedWhenNothingElseIsSet)
{
    const std::string windows = WindowsDir();
    EXPECT_EQ(Dir(GetConfigDir), windows);
    EXPECT_EQ(Key("ConfigPath"), windows);
    EXPECT_EQ(Key("SystemPath"), "<missing>");
    EXPECT_EQ(Dir(GetSystemDir), windows);
    EXPECT_EQ(Key("SystemPath"), windows);

    // A value set by hand is used as it stands; NONE counts as not set.
    Write("ConfigPath", "E:\\site\\cfg");
    EXPECT_EQ(Dir(GetConfigDir), "E:\\site\\cfg");
    Write("ConfigPath", "NONE");
    EXPECT_EQ(Dir(GetConfigDir), windows);
    EXPECT_EQ(Key("ConfigPath"), windows);
}

TEST_F(Paths, DirectoryThatDoesNotFitIsRefusedWhole)
{
    // From the file: too long for the caller, or for any caller.
    std::string longDir = "E:\\" + std::string(100, 'd');
    Write("ConfigPath", longDir.c_str());
    EXPECT_EQ(Dir(GetConfigDir, 80), "<failed>");
    EXPECT_EQ(Dir(GetConfigDir, 104), longDir);
    EXPECT_EQ(Dir(GetConfigDir, 103), "<failed>");
    std::string tooLong = "E:\\" + std::string(600, 'd');
    Write("ConfigPath", tooLong.c_str());
    EXPECT_EQ(Dir(GetConfigDir, 1024), "<failed>");

    // From the environment.
    std::string root = "Z:\\" + std::string(300, 'r'), system = "s";
    SetVariable("CC_ROOT", &root);
    SetVariable("CC_SYSTEM", &system);
    EXPECT_EQ(Dir(GetSystemDir, MAX_PATH), "<failed>");
    EXPECT_EQ(Dir(GetSystemDir), root + "\\s\\windows\\lib");
}
