#include "config/profile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "app/startup.h"
#include "core/log.h"
#include "ipc/work_state.h"
#include "tests/host/debug_capture.h"
#include "app/test_support.h"

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

class ProfileLoad : public ::testing::Test {
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
        SetDeviceNumber(42);
        ResetDriverForTest();
        DeleteFileA(sFile.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());   // drop cached copy
        DebugCapture::Take();
    }
    void TearDown() override { SetDebugMode(0); }

    static void Write(const char* pSection, const char* pKey, const char* pValue)
    {
        WritePrivateProfileStringA(pSection, pKey, pValue, sFile.c_str());
    }
    static void WriteSizes(const char* pSources, const char* pDestinations)
    {
        Write("Database", "DatabaseSize_0", pSources);
        Write("Database", "DatabaseSize_1", pDestinations);
    }
    // Loads the profile and shows what it found missing as the start-up
    // does, pressing any error box; returns the boxes' texts. What the load
    // found missing is kept in iMissing.
    static std::vector<std::string> Load()
    {
        BoxPresser presser;
        iMissing = LoadDeviceProfile();
        ReportProfileLoad(iMissing);
        std::vector<std::string> texts = presser.Stop();
        // The stand-in shut-down posts a quit request; clear it for the next load.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        return texts;
    }
    static std::string Key(const char* pSection, const char* pKey) { return ReadKey(pSection, pKey, sFile); }
    // "key=value" of every key of a section, in file order.
    static std::vector<std::string> Entries(const char* pSection)
    {
        std::vector<std::string> entries;
        for (const std::string& key : NamesIn(pSection, sFile)) entries.push_back(key + "=" + Key(pSection, key.c_str()));
        return entries;
    }

    static std::string sRoot;
    static std::string sFile;
    static int iMissing;
    DebugCapture capture;
};

std::string ProfileLoad::sRoot;
std::string ProfileLoad::sFile;
int ProfileLoad::iMissing = kProfileComplete;

}  // namespace

TEST_F(ProfileLoad, FirstLoadWritesTheCompleteTemplateAndReportsBothSizes)
{
    char acName[MAX_PATH];
    ASSERT_EQ(DeviceFileName(acName, sizeof acName, "INI"), 1);
    EXPECT_STRCASEEQ(acName, sFile.c_str());

    std::vector<std::string> boxes = Load();
    EXPECT_EQ(iMissing, kSourcesMissing | kDestinationsMissing);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "A device profile INI File 'DEV_042.INI' does not exist in the Windows directory or the "
                        "'DatabaseSize_0' parameter (sources) in it has not been set.");
    EXPECT_EQ(boxes[1], "A device profile INI File 'DEV_042.INI' does not exist in the Windows directory or the "
                        "'DatabaseSize_1' parameter (destinations) in it has not been set.");
    EXPECT_TRUE(IsClosing());

    // Every default, in the order written ("key=value" through the profile
    // API), and no database keys.
    EXPECT_EQ(NamesIn(nullptr, sFile), (std::vector<std::string>{"Combiner", "Levels", "Masks", "Security"}));
    EXPECT_EQ(Entries("Combiner"), (std::vector<std::string>{
                                       "Name=Default", "SaveDelay=5", "SrcePkgInfoId=43", "DestPkgInfoId=44",
                                       "LevelMapInfoId=45", "DebugMode=0", "NameLength=8", "RevertiveLevel=0",
                                       "Simulation=0", "ExternalDLL=NONE", "JournalSize=1024"}));
    std::vector<std::string> levels, masks;
    char acEntry[64];
    for (int n = 1; n <= 32; ++n) {
        snprintf(acEntry, sizeof acEntry, "Level_%02d=F,R,%d", n, n);
        levels.push_back(acEntry);
        snprintf(acEntry, sizeof acEntry, "Mask_%02d=MASKNAME_%02d,1,2,3,4,5,6,7,8", n, n);
        masks.push_back(acEntry);
        EXPECT_EQ(Profile().sLevel[n].iType, 1);
        EXPECT_EQ(Profile().sLevel[n].iKind, 1);
        EXPECT_EQ(Profile().sLevel[n].iTarget, n);
        EXPECT_EQ(std::string(Profile().sMask[n].acName), std::string(acEntry + 8, 11));
        for (int L = 1; L <= 32; ++L) EXPECT_EQ(Profile().sMask[n].aiLevels[L], L <= 8 ? 1 : -1);
    }
    EXPECT_EQ(Entries("Levels"), levels);
    EXPECT_EQ(Entries("Masks"), masks);
    EXPECT_EQ(Entries("Security"), (std::vector<std::string>{"Access=ALL"}));

    EXPECT_EQ(Profile().DatabaseSize_0, -1);
    EXPECT_EQ(Profile().DatabaseSize_1, -1);
    EXPECT_EQ(Profile().SaveDelay, 5);
    EXPECT_EQ(Profile().SrcePkgInfoId, 43);
    EXPECT_EQ(Profile().DestPkgInfoId, 44);
    EXPECT_EQ(Profile().LevelMapInfoId, 45);
    EXPECT_EQ(Profile().NameLength, 8);
    EXPECT_STREQ(Profile().ExternalDLL, "NONE");
    EXPECT_EQ(Profile().JournalSize, 1024);
    for (int n = 0; n <= 1000; ++n) ASSERT_EQ(Profile().abAccess[n], 1) << n;
}

TEST_F(ProfileLoad, UnusableValuesAreReplacedAndWrittenBack)
{
    // Key, value written, value in the file after the load.
    struct { const char* pKey; const char* pValue; const char* pAfter; } aFirst[] = {
        {"Name", "AB", "Default"},        {"SaveDelay", "abc", "5"},
        {"SrcePkgInfoId", "7", "7"},      {"DebugMode", "abc", "abc"},   // not a number: 0, no write
        {"RevertiveLevel", "33", "0"},    {"ExternalDLL", "default", "NONE"},
        {"JournalSize", "1O24", "1O24"},   // not a number: no journal, no write
    }, aSecond[] = {
        {"Name", "ABC", "ABC"},           {"SaveDelay", "-3", "-3"},
        {"RevertiveLevel", "32", "32"},   {"ExternalDLL", "Default", "Default"},
        {"JournalSize", "-5", "-5"},
    };
    WriteSizes("000001239", "50");   // read whole, not cut to 00000123
    for (const auto& c : aFirst) Write("Combiner", c.pKey, c.pValue);
    EXPECT_TRUE(Load().empty());
    EXPECT_FALSE(IsClosing());
    for (const auto& c : aFirst) EXPECT_EQ(Key("Combiner", c.pKey), c.pAfter) << c.pKey;
    EXPECT_EQ(Profile().DatabaseSize_0, 1239);
    EXPECT_EQ(Profile().DatabaseSize_1, 50);
    EXPECT_EQ(Profile().SaveDelay, 5);
    EXPECT_EQ(Profile().SrcePkgInfoId, 7);
    EXPECT_EQ(DebugMode(), 0);
    EXPECT_EQ(Profile().RevertiveLevel, 0);
    EXPECT_STREQ(Profile().ExternalDLL, "NONE");
    // The journal is off and says so, though DebugMode is 0.
    EXPECT_EQ(Profile().JournalSize, 0);
    EXPECT_EQ(DebugCapture::Take(), std::vector<std::string>{
                                        "<GR>-JournalSize '1O24' is not a number of KB - no take journal is kept\n"});

    for (const auto& c : aSecond) Write("Combiner", c.pKey, c.pValue);
    EXPECT_TRUE(Load().empty());
    for (const auto& c : aSecond) EXPECT_EQ(Key("Combiner", c.pKey), c.pAfter) << c.pKey;
    EXPECT_EQ(Profile().SaveDelay, -3);
    EXPECT_EQ(Profile().RevertiveLevel, 32);
    EXPECT_STREQ(Profile().ExternalDLL, "Default");
    EXPECT_EQ(Profile().JournalSize, 0);
    EXPECT_EQ(DebugCapture::Take(),
              std::vector<std::string>{"<GR>-JournalSize -5 is negative - no take journal is kept\n"});
}

TEST_F(ProfileLoad, DatabaseSizesAboveTheTablesAreBoundedAndLogged)
{
    WriteSizes("123456789", "4096");
    Write("Combiner", "DebugMode", "1");
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(Profile().DatabaseSize_0, 4096);
    EXPECT_EQ(Profile().DatabaseSize_1, 4096);
    EXPECT_EQ(DebugCapture::Take(), (std::vector<std::string>{
                                        "<GR>-DatabaseSize_0 123456789 is above 4096 - using 4096\n", "<GR>-ALL\n"}));
    SetDebugMode(0);
    DebugLog("quiet");
    EXPECT_TRUE(DebugCapture::Take().empty());

    // One missing size: one box, then the shut-down.
    WriteSizes(nullptr, "10");
    std::vector<std::string> boxes = Load();
    EXPECT_EQ(iMissing, kSourcesMissing);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("'DatabaseSize_0' parameter (sources)"), std::string::npos);
    EXPECT_TRUE(IsClosing());
}

// A size that gives no package (0, empty, negative, not a number) is
// reported like a missing one: its box, then the shut-down.
TEST_F(ProfileLoad, DatabaseSizeBelowOneIsReportedLikeAMissingOne)
{
    for (const char* pSize : {"0", "", "-5", "abc"}) {
        for (int iDatabase : {0, 1}) {
            ResetDriverForTest();
            WriteSizes(iDatabase == 0 ? pSize : "10", iDatabase == 1 ? pSize : "10");
            std::vector<std::string> boxes = Load();
            EXPECT_EQ(iMissing, iDatabase == 0 ? kSourcesMissing : kDestinationsMissing);
            ASSERT_EQ(boxes.size(), 1u) << "'" << pSize << "' " << iDatabase;
            EXPECT_NE(boxes[0].find(iDatabase == 0 ? "'DatabaseSize_0' parameter (sources)"
                                                   : "'DatabaseSize_1' parameter (destinations)"),
                      std::string::npos);
            EXPECT_TRUE(IsClosing());
        }
    }
}

// Values are read whole, however long: cut, a mask would lose its last
// levels and an access list could grant other workstations. A value too long
// for the driver's tables is refused with a debug line, never cut.
TEST_F(ProfileLoad, LongValuesAreReadWholeOrRefused)
{
    WriteSizes("10", "10");
    Write("Combiner", "DebugMode", "1");
    std::string sMaskText = "LONGMASK";
    for (int L = 1; L <= 31; ++L) sMaskText += "," + std::to_string(L);
    Write("Masks", "Mask_04", sMaskText.c_str());
    std::string sLibrary(32, 'f');   // one more than ExternalDLL holds
    Write("Combiner", "ExternalDLL", sLibrary.c_str());
    EXPECT_TRUE(Load().empty());
    EXPECT_STREQ(Profile().sMask[4].acName, "LONGMASK");
    for (int L = 1; L <= 32; ++L) EXPECT_EQ(Profile().sMask[4].aiLevels[L], L <= 31 ? 1 : -1) << L;
    EXPECT_STREQ(Profile().ExternalDLL, "NONE");

    // An access list of 257 characters whose last field straddles the
    // 256th: "5-700" must not become "5-7".
    std::string sAccess;
    while (sAccess.size() < 247) sAccess += "900,";
    sAccess.resize(247);
    Write("Security", "Access", (sAccess + ",962,5-700").c_str());
    LoadAccessList();
    for (int n = 1; n <= 1000; ++n) ASSERT_EQ(Profile().abAccess[n], (n >= 5 && n <= 700) || n == 900 || n == 962) << n;

    // Beyond what the driver reads at all: only the panel has access. The
    // file is written directly, as the profile functions themselves do not
    // write a value that long.
    std::string sHuge;
    for (int n = 1; sHuge.size() <= 32767; ++n) sHuge += std::to_string(n % 999 + 1) + ",";
    std::FILE* pFile = std::fopen(sFile.c_str(), "wb");
    ASSERT_NE(pFile, nullptr);
    std::fprintf(pFile, "[Security]\r\nAccess=%s\r\n", sHuge.c_str());
    std::fclose(pFile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());   // drop cached copy
    DebugCapture::Take();
    LoadAccessList();
    for (int n = 0; n <= 1000; ++n) ASSERT_EQ(Profile().abAccess[n], n == 0) << n;
    EXPECT_EQ(DebugCapture::Take(),
              (std::vector<std::string>{"<GR>-[Security] Access is longer than 32767 characters - refused\n",
                                        "<GR>-Access list refused - only the panel has access\n"}));
}

TEST_F(ProfileLoad, LevelsMasksAndAccessFromTheFile)
{
    WriteSizes("10", "10");
    Write("Levels", "Level_05", "R,G,12");
    Write("Masks", "Mask_02", "Cams,3,5,0,7");
    Write("Masks", "Mask_03", ",1,2");
    Write("Security", "Access", "1,5-7,1000");
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(Profile().sLevel[5].iType, 2);
    EXPECT_EQ(Profile().sLevel[5].iKind, 2);
    EXPECT_EQ(Profile().sLevel[5].iTarget, 12);
    EXPECT_STREQ(Profile().sMask[2].acName, "Cams");
    EXPECT_STREQ(Profile().sMask[3].acName, "");
    for (int L = 1; L <= 32; ++L) {
        EXPECT_EQ(Profile().sMask[2].aiLevels[L], L == 3 || L == 5 ? 1 : -1);
        EXPECT_EQ(Profile().sMask[3].aiLevels[L], -1);
    }
    for (int n = 0; n <= 1000; ++n) ASSERT_EQ(Profile().abAccess[n], n <= 1 || (n >= 5 && n <= 7)) << n;

    // The access list is read again as the file then stands; "all" is
    // granted in any case and not rewritten.
    Write("Security", "Access", "all");
    LoadAccessList();
    for (int n = 0; n <= 1000; ++n) ASSERT_EQ(Profile().abAccess[n], 1) << n;
    EXPECT_EQ(Key("Security", "Access"), "all");
}

TEST_F(ProfileLoad, LongConfigurationDirectoriesAreNamedWholeOrNotAtAll)
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
