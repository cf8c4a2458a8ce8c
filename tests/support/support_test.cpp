// The test support itself: debug output of another process, error boxes,
// log lines read while they are written.
#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Support, CatchesTheDebugOutputOfAnotherProcess)
{
    ASSERT_TRUE(StartDebugCapture());
    StartedProcess p = StartProgram("rvxsim.exe", "--quiet -e \"debug \\\"<GR>-marker one\\\"\" "
                                                  "-e \"debug \\\"<GR>-marker two\\n\\\"\" -e quit");
    ASSERT_NE(p.hProcess, nullptr);
    DWORD dwPid = p.dwPid;
    EXPECT_GE(WaitForDebugLine(dwPid, {"<GR>-marker one"}, 10000), 0);
    std::string sLine;
    EXPECT_EQ(WaitForDebugLine(dwPid, {"marker"}, 10000, 1, &sLine), 1);
    EXPECT_EQ(sLine, "<GR>-marker two");   // without its newline
    EXPECT_TRUE(DebugLines(GetCurrentProcessId()).empty());
    EndProcess(&p);
    StopDebugCapture();
}

TEST(Support, ReadsAndPressesAnErrorBox)
{
    int iAnswer = 0;
    std::thread box([&iAnswer] { iAnswer = MessageBoxA(nullptr, "Cannot find it", "! Error !", MB_OK); });
    HWND hBox = WaitForErrorBox(GetCurrentProcessId(), 10000);
    ASSERT_NE(hBox, nullptr);
    EXPECT_EQ(ErrorBoxText(hBox), "Cannot find it");
    EXPECT_EQ(WaitForErrorBox(GetCurrentProcessId() + 4, 0), nullptr);
    PressErrorBoxOk(hBox);
    box.join();
    EXPECT_EQ(iAnswer, IDOK);
}

TEST(Support, ReadsOnlyCompleteLines)
{
    std::string sPath = TempFile("lines", "txt");
    ASSERT_TRUE(WriteTextFile(sPath, "one\r\ntwo three\nfour"));
    std::vector<std::string> as = ReadLines(sPath);
    ASSERT_EQ(as.size(), 2u);
    EXPECT_EQ(as[0], "one");
    EXPECT_EQ(WaitForLine(sPath, {"two", "three"}, 0), 1);
    EXPECT_EQ(WaitForLine(sPath, {"one"}, 0, 1), -1);
    EXPECT_EQ(WaitForLine(sPath, {"four"}, 50), -1);   // still being written
    EXPECT_EQ(CountLines(sPath, {"o"}), 2);
    DeleteFileA(sPath.c_str());
    EXPECT_TRUE(ReadLines(sPath).empty());
}
