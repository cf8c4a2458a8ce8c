// The take journal's lines and the reading of JournalSize.
#include "core/journal_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const JournalTime kTime = {2026, 12, 8, 9, 3, 7, 45};

std::string Command(const char* pText, Refusal eRefusal)
{
    char acLine[kJournalLineSize];
    int n = FormatJournalCommand(acLine, sizeof acLine, kTime, pText, eRefusal);
    EXPECT_EQ(n, static_cast<int>(std::string(acLine).size())) << pText;
    return acLine;
}

}  // namespace

TEST(JournalText, CommandAndLevelLines)
{
    EXPECT_EQ(Command("RC 201 12 34 ',1,2,3,4,5' 7", kNotRefused),
              "2026-12-08 09:03:07.045 ws 7 accepted | RC 201 12 34 ',1,2,3,4,5' 7");
    // The workstation is the command's last field, whichever command it is.
    EXPECT_EQ(Command("RL 201 34 34 1 12", kRefusedLock),
              "2026-12-08 09:03:07.045 ws 12 refused (lock) | RL 201 34 34 1 12");
    EXPECT_EQ(Command("RP 201 1 64 3", kRefusedRange), "2026-12-08 09:03:07.045 ws 3 refused (range) | RP 201 1 64 3");
    EXPECT_EQ(Command("RF 202 7", kRefusedDevice), "2026-12-08 09:03:07.045 ws 7 refused (device) | RF 202 7");
    EXPECT_EQ(Command("RC 201 12 34 ',1' 1001", kRefusedAccess),
              "2026-12-08 09:03:07.045 ws 1001 refused (access) | RC 201 12 34 ',1' 1001");
    // Too few fields: no workstation to name. A text that names no router
    // command says so, whatever verdict it is given.
    EXPECT_EQ(Command("RC 201 12 34", kRefusedFields), "2026-12-08 09:03:07.045 ws - refused (fields) | RC 201 12 34");
    EXPECT_EQ(Command("XY 201 1", kNotRefused), "2026-12-08 09:03:07.045 ws - not a router command | XY 201 1");
    // A control character never breaks the line; a text of 512 characters
    // stands whole.
    EXPECT_EQ(Command("RC 201 1 2 ',1' 7\r\nRL 201 1 2 1 7", kNotRefused),
              "2026-12-08 09:03:07.045 ws 7 accepted | RC 201 1 2 ',1' 7\\x0D\\x0ARL 201 1 2 1 7");
    const std::string sLong = "RC 201 1 2 ',1'" + std::string(496, ' ') + "7";
    EXPECT_EQ(Command(sLong.c_str(), kNotRefused), "2026-12-08 09:03:07.045 ws 7 accepted | " + sLong);
    const std::string sControls(512, '\x01');
    EXPECT_EQ(Command(sControls.c_str(), kNotRefused).size(), 23 + 29 + 4 * 512u);

    char acLine[kJournalLineSize];
    FormatJournalLevel(acLine, sizeof acLine, kTime, 2144, 105, "IW 105 'Camera 1' 12 7");
    EXPECT_STREQ(acLine, "2026-12-08 09:03:07.045   sent 2144 to 105 | IW 105 'Camera 1' 12 7");
    // A buffer too short keeps what fits and tells the length needed.
    char acShort[16];
    EXPECT_EQ(FormatJournalLevel(acShort, sizeof acShort, kTime, 2124, 101, "RC 101 5 20 ',---' 7"), 65);
    EXPECT_STREQ(acShort, "2026-12-08 09:0");
}

TEST(JournalText, JournalSizeIsAWholeNumberOfKb)
{
    int iKb = -7;
    EXPECT_EQ(ParseJournalSize("1024", &iKb), kJournalSizeNumber);
    EXPECT_EQ(iKb, 1024);
    EXPECT_EQ(ParseJournalSize("0", &iKb), kJournalSizeNumber);
    EXPECT_EQ(iKb, 0);
    EXPECT_EQ(ParseJournalSize("2147483647", &iKb), kJournalSizeNumber);
    EXPECT_EQ(iKb, 2147483647);
    iKb = 5;
    for (const char* p : {"-1", "-1024"}) EXPECT_EQ(ParseJournalSize(p, &iKb), kJournalSizeNegative) << p;
    for (const char* p : {"", "-", "1O24", "1024KB", "abc", " 12", "+12", "2147483648", "99999999999999999999"}) {
        EXPECT_EQ(ParseJournalSize(p, &iKb), kJournalSizeNotNumber) << p;
    }
    EXPECT_EQ(iKb, 5);
}

// The lines of the driver's life and of an import: one line each, stamped
// as the commands, the kind before " | ".
TEST(JournalText, EventLines)
{
    char acLine[kJournalLineSize];
    const std::string sStart = JournalStartText("3.05.03", 201, "C:\\site\\DEV_201.INI", 16, 40);
    int n = FormatJournalEvent(acLine, sizeof acLine, kTime, "start", sStart.c_str());
    EXPECT_STREQ(acLine, "2026-12-08 09:03:07.045   ** start | zur.exe 3.05.03, device 201, profile "
                         "C:\\site\\DEV_201.INI, DatabaseSize_0=16, DatabaseSize_1=40");
    EXPECT_EQ(n, static_cast<int>(std::strlen(acLine)));
    EXPECT_EQ(JournalRegistrationText(0, nullptr), "registered with RVX");
    EXPECT_EQ(JournalRegistrationText(2, "Request refused - A driver has already registered this Id"),
              "refused (2): Request refused - A driver has already registered this Id");
    EXPECT_EQ(JournalTxRxText(false, "RVX network status"), "RX only (RVX network status)");
    EXPECT_EQ(JournalImportText("good.csv", "1 destination changes: ...", 20, 2,
                                "replaced files kept as DEV_201.DAT.bak and DEV_201.LCK.bak"),
              "zurdb import of good.csv: 1 destination changes: ...; now 20 routed, 2 locked; replaced files kept "
              "as DEV_201.DAT.bak and DEV_201.LCK.bak");
    // A cause with a line end stays one line; a short buffer is cut, ended.
    FormatJournalEvent(acLine, sizeof acLine, kTime, "shut-down", "WM_CLOSE\r\n");
    EXPECT_STREQ(acLine, "2026-12-08 09:03:07.045   ** shut-down | WM_CLOSE\\x0D\\x0A");
    char acShort[16];
    n = FormatJournalEvent(acShort, sizeof acShort, kTime, "start", sStart.c_str());
    EXPECT_STREQ(acShort, "2026-12-08 09:0");
    EXPECT_GT(n, 100);
}
