#include "config/profile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "config/test/debug_capture.h"
#include "core/take.h"

namespace {

// Presses every "! Error !" box that appears until stopped, keeping the
// texts in the order the boxes came.
class BoxPresser {
public:
    BoxPresser() : m_thread([this] { Run(); }) {}
    std::vector<std::string> Stop()
    {
        m_bStop = true;
        m_thread.join();
        return m_texts;
    }

private:
    void Run()
    {
        while (!m_bStop) {
            HWND hBox = FindWindowA("#32770", "! Error !");
            if (hBox == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            char acText[512] = "";
            GetWindowTextA(GetDlgItem(hBox, 0xFFFF), acText, sizeof acText);
            m_texts.emplace_back(acText);
            PostMessageA(hBox, WM_COMMAND, IDOK, 0);
            auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (IsWindow(hBox) && std::chrono::steady_clock::now() < tEnd) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    std::atomic<bool> m_bStop{false};
    std::vector<std::string> m_texts;
    std::thread m_thread;
};

std::string ReadKey(const char* pSection, const char* pKey, const std::string& file)
{
    char acValue[256];
    GetPrivateProfileStringA(pSection, pKey, "<missing>", acValue, sizeof acValue, file.c_str());
    return acValue;
}

// Section or key names of a profile in file order (pSection null: sections).
std::vector<std::string> NamesIn(const char* pSection, const std::string& file)
{
    std::vector<char> buffer(32768);
    DWORD n = pSection == nullptr
                  ? GetPrivateProfileSectionNamesA(buffer.data(), buffer.size(), file.c_str())
                  : GetPrivateProfileStringA(pSection, nullptr, "", buffer.data(), buffer.size(), file.c_str());
    std::vector<std::string> names;
    for (DWORD i = 0; i < n;) {
        std::string name(buffer.data() + i);
        if (name.empty()) break;
        i += name.size() + 1;
        names.push_back(name);
    }
    return names;
}

class Profile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char acTemp[MAX_PATH];
        GetTempPathA(sizeof acTemp, acTemp);
        sRoot = std::string(acTemp) + "zur_profile_" + std::to_string(GetCurrentProcessId());
        for (const char* pSub : {"", "\\studio", "\\studio\\config", "\\studio\\config\\system"}) {
            CreateDirectoryA((sRoot + pSub).c_str(), nullptr);
        }
        SetEnvironmentVariableA("CC_ROOT", sRoot.c_str());
        SetEnvironmentVariableA("CC_SYSTEM", "studio");
        sFile = sRoot + "\\studio\\config\\system\\DEV_042.INI";
    }
    static void TearDownTestSuite()
    {
        DeleteFileA(sFile.c_str());
        for (const char* pSub : {"\\studio\\config\\system", "\\studio\\config", "\\studio", ""}) {
            RemoveDirectoryA((sRoot + pSub).c_str());
        }
        SetEnvironmentVariableA("CC_ROOT", nullptr);
        SetEnvironmentVariableA("CC_SYSTEM", nullptr);
    }
    void SetUp() override
    {
        iDevice = 42;
        bClosing = 0;
        DeleteFileA(sFile.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());   // drop cached copy
        DebugCapture::Take();
    }
    void TearDown() override { DebugMode = 0; }

    static void Write(const char* pSection, const char* pKey, const char* pValue)
    {
        WritePrivateProfileStringA(pSection, pKey, pValue, sFile.c_str());
    }
    static void WriteSizes(const char* pSources, const char* pDestinations)
    {
        Write("Database", "DatabaseSize_0", pSources);
        Write("Database", "DatabaseSize_1", pDestinations);
    }
    // Loads the profile, pressing any error box; returns the boxes' texts.
    static std::vector<std::string> Load()
    {
        BoxPresser presser;
        LoadDeviceProfile();
        std::vector<std::string> texts = presser.Stop();
        // The stand-in shut-down posts a quit request; clear it for the next load.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        return texts;
    }
    static std::string Key(const char* pSection, const char* pKey) { return ReadKey(pSection, pKey, sFile); }

    static std::string sRoot;
    static std::string sFile;
    DebugCapture capture;
};

std::string Profile::sRoot;
std::string Profile::sFile;

}  // namespace

TEST_F(Profile, FirstLoadWritesTheCompleteTemplateAndReportsBothSizes)
{
    char acName[MAX_PATH];
    ASSERT_EQ(DeviceFileName(acName, sizeof acName, "INI"), 1);
    EXPECT_STRCASEEQ(acName, sFile.c_str());

    std::vector<std::string> boxes = Load();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "A device profile INI File 'DEV_042.INI' does not exist in the Windows directory or the "
                        "'DatabaseSize_0' parameter (sources) in it has not been set.");
    EXPECT_EQ(boxes[1], "A device profile INI File 'DEV_042.INI' does not exist in the Windows directory or the "
                        "'DatabaseSize_1' parameter (destinations) in it has not been set.");
    EXPECT_EQ(bClosing, 1);

    // Every default, in the order written, and no database keys.
    EXPECT_EQ(NamesIn(nullptr, sFile), (std::vector<std::string>{"Combiner", "Levels", "Masks", "Security"}));
    EXPECT_EQ(NamesIn("Combiner", sFile),
              (std::vector<std::string>{"Name", "SaveDelay", "SrcePkgInfoId", "DestPkgInfoId", "LevelMapInfoId",
                                        "DebugMode", "NameLength", "RevertiveLevel", "Simulation", "ExternalDLL"}));
    const std::vector<std::string> values{"Default", "5", "43", "44", "45", "0", "8", "0", "0", "NONE"};
    std::vector<std::string> read;
    for (const std::string& key : NamesIn("Combiner", sFile)) read.push_back(Key("Combiner", key.c_str()));
    EXPECT_EQ(read, values);

    std::vector<std::string> levelKeys = NamesIn("Levels", sFile);
    std::vector<std::string> maskKeys = NamesIn("Masks", sFile);
    ASSERT_EQ(levelKeys.size(), 32u);
    ASSERT_EQ(maskKeys.size(), 32u);
    for (int n = 1; n <= 32; ++n) {
        char acKey[16], acValue[64];
        snprintf(acKey, sizeof acKey, "Level_%02d", n);
        EXPECT_EQ(levelKeys[n - 1], acKey);
        EXPECT_EQ(Key("Levels", acKey), "F,R," + std::to_string(n));
        EXPECT_EQ(sLevel[n].iType, 1);
        EXPECT_EQ(sLevel[n].iKind, 1);
        EXPECT_EQ(sLevel[n].iTarget, n);

        snprintf(acKey, sizeof acKey, "Mask_%02d", n);
        snprintf(acValue, sizeof acValue, "MASKNAME_%02d,1,2,3,4,5,6,7,8", n);
        EXPECT_EQ(maskKeys[n - 1], acKey);
        EXPECT_EQ(Key("Masks", acKey), acValue);
        EXPECT_EQ(std::string(sMask[n].acName), std::string(acValue, 11));
        for (int L = 1; L <= 32; ++L) EXPECT_EQ(sMask[n].aiLevels[L], L <= 8 ? 1 : -1);
    }
    EXPECT_EQ(Key("Security", "Access"), "ALL");

    EXPECT_EQ(DatabaseSize_0, -1);
    EXPECT_EQ(DatabaseSize_1, -1);
    EXPECT_EQ(SaveDelay, 5);
    EXPECT_EQ(SrcePkgInfoId, 43);
    EXPECT_EQ(DestPkgInfoId, 44);
    EXPECT_EQ(LevelMapInfoId, 45);
    EXPECT_EQ(NameLength, 8);
    EXPECT_STREQ(ExternalDLL, "NONE");
    for (int n = 0; n <= 1000; ++n) ASSERT_EQ(abAccess[n], 1) << n;
}

TEST_F(Profile, UnusableValuesAreReplacedAndWrittenBack)
{
    WriteSizes("000001239", "50");   // only 8 characters are read: 00000123
    Write("Combiner", "Name", "AB");
    Write("Combiner", "SaveDelay", "abc");
    Write("Combiner", "SrcePkgInfoId", "7");
    Write("Combiner", "DebugMode", "abc");
    Write("Combiner", "RevertiveLevel", "33");
    Write("Combiner", "ExternalDLL", "default");
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(bClosing, 0);
    EXPECT_EQ(DatabaseSize_0, 123);
    EXPECT_EQ(DatabaseSize_1, 50);
    EXPECT_EQ(Key("Combiner", "Name"), "Default");
    EXPECT_EQ(SaveDelay, 5);
    EXPECT_EQ(Key("Combiner", "SaveDelay"), "5");
    EXPECT_EQ(SrcePkgInfoId, 7);
    EXPECT_EQ(Key("Combiner", "SrcePkgInfoId"), "7");
    EXPECT_EQ(DebugMode, 0);
    EXPECT_EQ(Key("Combiner", "DebugMode"), "abc");   // not a number: 0, no write
    EXPECT_EQ(RevertiveLevel, 0);
    EXPECT_EQ(Key("Combiner", "RevertiveLevel"), "0");
    EXPECT_STREQ(ExternalDLL, "NONE");
    EXPECT_EQ(Key("Combiner", "ExternalDLL"), "NONE");

    // Values that are usable stay as they are.
    Write("Combiner", "Name", "ABC");
    Write("Combiner", "SaveDelay", "-3");
    Write("Combiner", "RevertiveLevel", "32");
    Write("Combiner", "ExternalDLL", "Default");
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(Key("Combiner", "Name"), "ABC");
    EXPECT_EQ(SaveDelay, -3);
    EXPECT_EQ(Key("Combiner", "SaveDelay"), "-3");
    EXPECT_EQ(RevertiveLevel, 32);
    EXPECT_STREQ(ExternalDLL, "Default");
    EXPECT_EQ(Key("Combiner", "ExternalDLL"), "Default");

    // SaveDelay=0 is replaced like a missing value.
    Write("Combiner", "SaveDelay", "0");
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(SaveDelay, 5);
    EXPECT_EQ(Key("Combiner", "SaveDelay"), "5");
}

TEST_F(Profile, DatabaseSizesAboveTheTablesAreBounded)
{
    WriteSizes("123456789", "4096");
    Write("Combiner", "DebugMode", "1");
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(DatabaseSize_0, 4096);
    EXPECT_EQ(DatabaseSize_1, 4096);
    std::vector<std::string> lines = DebugCapture::Take();
    EXPECT_EQ(lines, (std::vector<std::string>{"<GR>-DatabaseSize_0 12345678 is above 4096 - using 4096\n",
                                               "<GR>-ALL\n"}));

    // One missing size: one box, then the shut-down.
    WriteSizes(nullptr, "10");
    std::vector<std::string> boxes = Load();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("'DatabaseSize_0' parameter (sources)"), std::string::npos);
    EXPECT_EQ(bClosing, 1);
}

TEST_F(Profile, LevelsMasksAndAccessFromTheFile)
{
    WriteSizes("10", "10");
    Write("Levels", "Level_05", "R,G,12");
    Write("Levels", "Level_06", "f,r,3");
    Write("Levels", "Level_07", "F,R");
    Write("Masks", "Mask_02", "Cams,3,5,0,7");
    Write("Masks", "Mask_03", ",1,2");
    Write("Masks", "Mask_04", "Cams");
    Write("Security", "Access", "1,5-7,1000");
    EXPECT_TRUE(Load().empty());

    EXPECT_EQ(sLevel[5].iType, 2);
    EXPECT_EQ(sLevel[5].iKind, 2);
    EXPECT_EQ(sLevel[5].iTarget, 12);
    EXPECT_EQ(sLevel[6].iType, 0);
    EXPECT_EQ(sLevel[6].iKind, 0);
    EXPECT_EQ(sLevel[6].iTarget, 3);
    EXPECT_EQ(sLevel[7].iKind, 1);
    EXPECT_EQ(sLevel[7].iTarget, 0);
    EXPECT_STREQ(sMask[2].acName, "Cams");
    EXPECT_STREQ(sMask[3].acName, "");
    EXPECT_STREQ(sMask[4].acName, "Cams");
    for (int L = 1; L <= 32; ++L) {
        EXPECT_EQ(sMask[2].aiLevels[L], L == 3 || L == 5 ? 1 : -1);
        EXPECT_EQ(sMask[3].aiLevels[L], -1);
        EXPECT_EQ(sMask[4].aiLevels[L], -1);
    }
    std::vector<int> granted;
    for (int n = 0; n <= 1000; ++n) {
        if (abAccess[n]) granted.push_back(n);
    }
    EXPECT_EQ(granted, (std::vector<int>{0, 1, 5, 6, 7}));

    // The access list is read again as the file then stands.
    Write("Security", "Access", "7-5");
    LoadAccessList();
    for (int n = 1; n <= 1000; ++n) ASSERT_EQ(abAccess[n], 0) << n;
    EXPECT_EQ(abAccess[0], 1);

    Write("Security", "Access", "all");
    LoadAccessList();
    for (int n = 0; n <= 1000; ++n) ASSERT_EQ(abAccess[n], 1) << n;
    EXPECT_EQ(Key("Security", "Access"), "all");   // not rewritten
}

TEST_F(Profile, DebugLogIsGatedByDebugMode)
{
    DebugMode = 0;
    DebugLog("quiet");
    EXPECT_TRUE(DebugCapture::Take().empty());
    DebugMode = 1;
    DebugLog(std::string(300, 'x').c_str());
    std::vector<std::string> lines = DebugCapture::Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "<GR>-" + std::string(249, 'x') + "\n");
}

TEST_F(Profile, LongConfigurationDirectoriesAreNamedWholeOrNotAtAll)
{
    // A directory far beyond 67 characters still gives its full file name.
    std::string root(200, 'r');
    SetEnvironmentVariableA("CC_ROOT", ("Z:\\" + root).c_str());
    char acName[MAX_PATH];
    EXPECT_EQ(DeviceFileName(acName, sizeof acName, "DAT"), 1);
    EXPECT_EQ(std::string(acName), "Z:\\" + root + "\\studio\\config\\system\\DEV_042.DAT");

    // One that leaves no room for the file name gives no name.
    SetEnvironmentVariableA("CC_ROOT", ("Z:\\" + std::string(230, 'r')).c_str());
    strcpy(acName, "stale");
    EXPECT_EQ(DeviceFileName(acName, sizeof acName, "DAT"), 0);
    EXPECT_STREQ(acName, "");
    EXPECT_EQ(DeviceFileName(acName, 40, "DAT"), 0);
    SetEnvironmentVariableA("CC_ROOT", sRoot.c_str());
}
