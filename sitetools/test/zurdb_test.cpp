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

// A window of the driver's class with the title given, as a running driver
// shows it.
HWND DriverLikeWindow(const char* pTitle)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Q7CMBINE";
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowExA(0, "Q7CMBINE", pTitle, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

int CountLinesWith(const std::string& sText, const std::string& sPart)
{
    int n = 0;
    for (size_t i = sText.find(sPart); i != std::string::npos; i = sText.find(sPart, i + 1)) ++n;
    return n;
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
    HWND hWnd = DriverLikeWindow("R7 Idoruzor v3.05.03 - Device 2010");
    ASSERT_NE(hWnd, nullptr);

    const std::string sCsv = Temp("state", "destination,source,locked\n34,12,1\n");
    ToolRun run = Zurdb_("import 201 \"" + sCsv + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;   // another device's driver
    const std::string sBefore = Files();
    ASSERT_EQ(sBefore.size(), 8192u + 1 + 4096u);

    SetWindowTextA(hWnd, kDriverTitle201);
    const std::string sOther = Temp("other", "destination,source,locked\n35,13,0\n");
    run = Zurdb_("import 201 \"" + sOther + "\"");
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
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

// While the driver runs, its files lag its tables by up to SaveDelay
// minutes: show, export and a diff of its directory refuse unless told
// --running, which labels what they print as the files' state.
TEST_F(Zurdb, ReadsRefusedWhileTheDriverRunsUnlessRunning)
{
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=20\n", 0, "", "", 3));
    const std::string sCsv = Temp("state", "destination,source,locked\n6,1,1\n");
    ASSERT_EQ(Zurdb_("import 201 \"" + sCsv + "\"").dwExit, 0u);
    HWND hWnd = DriverLikeWindow(kDriverTitle201);
    ASSERT_NE(hWnd, nullptr);
    const std::string sDiff = "diff \"" + sCsv + "\" \"" + site.sConfig + "\"";
    for (const std::string& sArgs : {std::string("show 201"), std::string("export 201"), sDiff}) {
        ToolRun run = Zurdb_(sArgs);
        EXPECT_EQ(run.dwExit, 2u) << sArgs << "\n" << run.sOutput;
        EXPECT_TRUE(Contains(run.sOutput, "DEV_201.DAT and DEV_201.LCK lag its tables by up to 3 minutes"))
            << run.sOutput;
        EXPECT_FALSE(Contains(run.sOutput, "6,1,1")) << run.sOutput;
        run = Zurdb_(sArgs + " --running");
        EXPECT_EQ(run.dwExit, 0u) << sArgs << "\n" << run.sOutput;
        EXPECT_TRUE(Contains(run.sOutput, "--running: the files' state, not the running driver's")) << run.sOutput;
    }
    EXPECT_TRUE(Contains(Zurdb_("show 201 --running").sOutput, "20 destinations, 1 routed, 1 locked (the files' "
                                                               "state, --running)"));
    EXPECT_TRUE(Contains(Zurdb_("export 201 --running").sOutput, "6,1,1"));
    DestroyWindow(hWnd);
    ToolRun run = Zurdb_("export 201");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_FALSE(Contains(run.sOutput, "--running")) << run.sOutput;
}

// A mistyped device: no profile, so nothing is read or written unless
// --force; the profile's database sizes bound an import.
TEST_F(Zurdb, DeviceWithoutProfileRefusedAndProfileSizesUsed)
{
    const std::string sCsv = Temp("good", "destination,source,locked\n34,12,1\n");
    for (const std::string& sArgs : {"import 007 \"" + sCsv + "\"", std::string("export 7"), std::string("show 7")}) {
        ToolRun run = Zurdb_(sArgs);
        EXPECT_EQ(run.dwExit, 2u) << sArgs << "\n" << run.sOutput;
        EXPECT_TRUE(Contains(run.sOutput, "device 7 has no profile DEV_007.INI")) << run.sOutput;
        EXPECT_FALSE(Contains(run.sOutput, "destination,source")) << run.sOutput;
    }
    EXPECT_FALSE(FileExists(SiteFile(&site, "DEV_007.DAT")));
    EXPECT_FALSE(FileExists(SiteFile(&site, "DEV_007.LCK")));
    ToolRun run = Zurdb_("import 007 \"" + sCsv + "\" --force");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(FileExists(SiteFile(&site, "DEV_007.DAT")));
    EXPECT_EQ(Zurdb_("export 7 --force").dwExit, 0u);

    for (const char* pDevice : {"0", "1000", "7x", "abc"}) {
        run = Zurdb_(std::string("export ") + pDevice);
        EXPECT_EQ(run.dwExit, 3u) << pDevice << "\n" << run.sOutput;
        EXPECT_TRUE(Contains(run.sOutput, "1..999")) << run.sOutput;
    }

    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=40\n"));
    const std::string sWide = Temp("wide", "destination,source,locked\n41,12,0\n40,17,0\n");
    run = Zurdb_("import 201 \"" + sWide + "\"");
    EXPECT_EQ(run.dwExit, 2u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, ":2: destination 41 is not a number 1..40")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, ":3: source 17 is not a number 0..16")) << run.sOutput;
    EXPECT_TRUE(Contains(Zurdb_("show 201").sOutput, "Device 201 in")) << run.sOutput;
}

// --dry-run shows the routes and locks an import gains and loses and writes
// nothing; the import itself keeps what it replaced as .bak (one
// generation) and leaves a line in the take journal.
TEST_F(Zurdb, DryRunBackupsAndJournal)
{
    const std::string sFirst = Temp("first", "destination,source,locked\n1,5,0\n2,6,1\n3,7,2\n");
    ASSERT_EQ(Zurdb_("import 201 \"" + sFirst + "\"").dwExit, 0u);
    const std::string sBefore = Files();
    ASSERT_FALSE(FileExists(sIndex + ".bak"));   // there was nothing to keep
    const std::string sWrong = Temp("wrong", "destination,source,locked\n1,5,0\n2,9,0\n4,8,0\n");
    ToolRun run = Zurdb_("import 201 \"" + sWrong + "\" --dry-run");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "nothing written")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "destination 2: source 6 -> 9, lock 1 -> 0\r\n"
                                      "destination 3: source 7 -> 0, lock 2 -> 0\r\n"
                                      "destination 4: source 0 -> 8\r\n"
                                      "3 destinations change: 1 route gained, 1 lost, 1 moved; 0 locks gained, 2 lost"))
        << run.sOutput;
    EXPECT_EQ(Files(), sBefore);
    EXPECT_FALSE(FileExists(sIndex + ".bak"));

    run = Zurdb_("import 201 \"" + sWrong + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "0 locks gained, 2 lost")) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "replaced files kept as DEV_201.DAT.bak and DEV_201.LCK.bak (one generation"))
        << run.sOutput;
    EXPECT_EQ(ReadBinaryFile(sIndex + ".bak") + "|" + ReadBinaryFile(sLock + ".bak"), sBefore);
    const std::string sWrongFiles = Files();
    // The right CSV again restores the state; the .bak files now hold the
    // wrong one.
    run = Zurdb_("import 201 \"" + sFirst + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_EQ(Files(), sBefore);
    EXPECT_EQ(ReadBinaryFile(sIndex + ".bak") + "|" + ReadBinaryFile(sLock + ".bak"), sWrongFiles);

    const std::string sJournal = ReadBinaryFile(SiteFile(&site, "DEV_201.LOG"));
    EXPECT_EQ(CountLinesWith(sJournal, "   ** import | zurdb import of "), 3) << sJournal;
    EXPECT_TRUE(Contains(sJournal, "3 destinations change: 1 route gained, 1 lost, 1 moved; 0 locks gained, 2 lost; "
                                   "now 3 routed, 0 locked; replaced files kept as DEV_201.DAT.bak")) << sJournal;
    EXPECT_EQ(CountLinesWith(sJournal, "\r\n"), 3);
    // A profile that keeps no journal gets no line.
    ASSERT_TRUE(WriteSiteProfile(&site, "DatabaseSize_0=4096\nDatabaseSize_1=4096\n", 0, "JournalSize=0\n"));
    EXPECT_EQ(Zurdb_("import 201 \"" + sWrong + "\"").dwExit, 0u);
    EXPECT_EQ(ReadBinaryFile(SiteFile(&site, "DEV_201.LOG")), sJournal);
}

// As Windows tools save a CSV: byte-order mark, CRLF, the header in another
// case and with blanks. A long list of bad lines is shown by its start and
// counted.
TEST_F(Zurdb, WindowsCsvAndLongErrorLists)
{
    const std::string sCsv = Temp("bom", "\xEF\xBB\xBF" "Destination, Source, Locked\r\n34,12,1\r\n");
    ToolRun run = Zurdb_("import 201 \"" + sCsv + "\"");
    EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
    EXPECT_TRUE(Contains(run.sOutput, "1 routed, 1 locked")) << run.sOutput;

    std::string sBad = "destination,source,locked\n";
    for (int i = 0; i < 100000; ++i) sBad += "x,1,0\n";
    run = Zurdb_("import 201 \"" + Temp("bad", sBad) + "\"");
    EXPECT_EQ(run.dwExit, 2u);
    EXPECT_EQ(CountLinesWith(run.sOutput, "is not a number 1..4096"), 20);
    EXPECT_TRUE(Contains(run.sOutput, ":21: destination x is not a number 1..4096\r\nzurdb: and 99980 more\r\n"
                                      "zurdb: 100000 errors, nothing written\r\n")) << run.sOutput.substr(0, 3000);
    run = Zurdb_("import 201 \"" + Temp("one", "destination,source,locked\n1,1\n") + "\"");
    EXPECT_TRUE(Contains(run.sOutput, "zurdb: 1 error, nothing written")) << run.sOutput;
}

TEST(SiteTools, VersionOfBoth)
{
    for (const char* pTool : {"zurdb", "zurcheck"}) {
        ToolRun run = RunTool((std::string(pTool) + ".exe").c_str(), "--version", nullptr);
        EXPECT_EQ(run.dwExit, 0u) << run.sOutput;
        EXPECT_EQ(run.sOutput, std::string(pTool) + " 3.05.03\r\n");
    }
}
