#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "sitetools/test/run_tool.h"

namespace {

class Zurdb : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateSite(&site));
        ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=4096\nDatabaseSize_1=4096\n"));
        sIndex = SiteFile(&site, "DEV_201.DAT");
        sLock = SiteFile(&site, "DEV_201.LCK");
    }
    void TearDown() override
    {
        for (const std::string& s : asTemp) DeleteFileA(s.c_str());
        RemoveSite(&site);
    }
    // A file of the test's own, removed at the end.
    std::string Temp(const char* pStem, const std::string& sText)
    {
        asTemp.push_back(TempFile(pStem, "csv"));
        EXPECT_TRUE(WriteTextFile(asTemp.back(), sText));
        return asTemp.back();
    }
    ToolRun Zurdb_(const std::string& sArgs) { return RunTool("zurdb.exe", sArgs, &site); }
    std::string Files() { return ReadBinaryFile(sIndex) + "|" + ReadBinaryFile(sLock); }

    DriverSite site;
    std::string sIndex, sLock;
    std::vector<std::string> asTemp;
};

// Routes to every destination and a lock on every seventh, with lock values
// other than 1 among them.
void WriteBusyState(const std::string& sIndex, const std::string& sLock)
{
    std::string acIndex(8192, '\0'), acLock(4096, '\0');
    for (int d = 1; d <= 4096; ++d) {
        int iSource = (d * 37) % 4097;
        acIndex[2 * (d - 1)] = static_cast<char>(iSource >> 8);
        acIndex[2 * (d - 1) + 1] = static_cast<char>(iSource & 0xFF);
        acLock[d - 1] = static_cast<char>(d % 7 == 0 ? (d % 256 == 0 ? 255 : d % 256) : 0);
    }
    ASSERT_TRUE(WriteTextFile(sIndex, acIndex));
    ASSERT_TRUE(WriteTextFile(sLock, acLock));
}

}  // namespace

TEST_F(Zurdb, ExportImportGivesTheSameFiles)
{
    WriteBusyState(sIndex, sLock);
    const std::string sBefore = Files();
    ToolRun run = Zurdb_("export 201");
    ASSERT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_EQ(run.sOutput.substr(0, 43), "destination,source,locked\r\n1,37,0\r\n2,74,0\r\n");
    const std::string sCsv = Temp("export", run.sOutput);

    ASSERT_TRUE(WriteTextFile(sIndex, std::string(8192, '\x01')));
    ASSERT_TRUE(WriteTextFile(sLock, std::string(100, '\x01')));
    run = Zurdb_("import 201 \"" + sCsv + "\"");
    ASSERT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "wrote DEV_201.DAT and DEV_201.LCK")) << run.sOutput;
    EXPECT_EQ(Files(), sBefore);
    EXPECT_FALSE(FileExists(sIndex + ".new"));

    run = Zurdb_("diff \"" + sCsv + "\" \"" + site.sConfig + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "0 destinations differ")) << run.sOutput;
    const std::string sChanged = Temp("changed", "destination,source,locked\n7,37,0\n14,2,1\n");
    run = Zurdb_("diff \"" + site.sConfig + "\" \"" + sChanged + "\"");
    EXPECT_EQ(run.dwExit, 1u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "destination 7: source 259 -> 37, lock 7 -> 0\r\n"
                                      "destination 8: source 296 -> 0\r\n")) << run.sOutput;

    const std::string sNames = Temp("names", "src 259 Camera 7\ndst 7 Monitor 7\n");
    run = Zurdb_("show 201 --locked --names \"" + sNames + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "4096 destinations, 4096 routed, 585 locked")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "    7 Monitor 7     259 Camera 7  locked (7)\r\n"
                                      "   14               518           locked (14)\r\n")) << run.sOutput;
}

// A window of the driver's class whose title names the device is a driver
// that would write its own tables over an import at its end.
TEST_F(Zurdb, ImportRefusedWhileTheDevicesDriverWindowExists)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Q7CMBINE";
    ASSERT_TRUE(RegisterClassA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    HWND hWnd = CreateWindowExA(0, "Q7CMBINE", "R7 Idoruzor v3.05.03 - Device 2010", WS_OVERLAPPED, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hWnd, nullptr);

    const std::string sCsv = Temp("state", "destination,source,locked\n34,12,1\n");
    ToolRun run = Zurdb_("import 201 \"" + sCsv + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;   // another device's driver
    const std::string sBefore = Files();
    ASSERT_EQ(sBefore.size(), 8192u + 1 + 4096u);

    SetWindowTextA(hWnd, kDriverTitle201);
    const std::string sOther = Temp("other", "destination,source,locked\n35,13,0\n");
    run = Zurdb_("import 201 \"" + sOther + "\"");
    EXPECT_EQ(run.dwExit, 3u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "the driver of device 201 is running (window \"R7 Idoruzor v3.05.03 - "
                                      "Device 201\")")) << run.sOutput;
    EXPECT_EQ(Files(), sBefore);

    DestroyWindow(hWnd);
    run = Zurdb_("import 201 \"" + sOther + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
}

TEST_F(Zurdb, BadCsvWritesNothing)
{
    const std::string sCsv = Temp("bad", "destination,source,locked\n34,12,1\n35,4097,0\n36,1\n34,2,0\n");
    ToolRun run = Zurdb_("import 201 \"" + sCsv + "\"");
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, ":3: source 4097 is not a number 0..4096")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, ":4: expected three fields")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, ":5: destination 34 is listed already on line 2")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "nothing written")) << run.sOutput;
    EXPECT_FALSE(FileExists(sIndex));
    EXPECT_FALSE(FileExists(sLock));

    WriteBusyState(sIndex, sLock);
    const std::string sBefore = Files();
    run = Zurdb_("import 201 \"" + sCsv + "\"");
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_EQ(Files(), sBefore);
    EXPECT_FALSE(FileExists(sIndex + ".new"));
    EXPECT_FALSE(FileExists(sLock + ".new"));
}
