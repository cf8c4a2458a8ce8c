#include "sitetools/check/route_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/peer_files.h"

namespace {

std::unique_ptr<RouteState> EmptyState()
{
    std::unique_ptr<RouteState> p(new RouteState);
    RouteStateFromFiles(nullptr, 0, nullptr, 0, p.get());
    return p;
}

}  // namespace

TEST(RouteState, FilesCsvAndBackGiveTheSameBytes)
{
    std::vector<unsigned char> acIndex(kIndexFileSize), acLock(kLockFileSize);
    for (int d = 1; d <= kPackageMax; ++d) {
        const int iSource = (d * 7) % (kPackageMax + 1);
        acIndex[2 * (d - 1)] = static_cast<unsigned char>(iSource >> 8);
        acIndex[2 * (d - 1) + 1] = static_cast<unsigned char>(iSource & 0xFF);
        acLock[d - 1] = static_cast<unsigned char>(d % 5 == 0 ? d % 256 : 0);
    }
    std::unique_ptr<RouteState> pState(new RouteState), pBack(new RouteState);
    RouteStateFromFiles(acIndex.data(), acIndex.size(), acLock.data(), acLock.size(), pState.get());
    const std::string sCsv = FormatRouteCsv(*pState);
    EXPECT_EQ(sCsv.substr(0, 39), "destination,source,locked\n1,7,0\n2,14,0\n");
    std::vector<std::string> asError;
    ASSERT_TRUE(ParseRouteCsv(sCsv, "s.csv", kPackageMax, kPackageMax, pBack.get(), &asError)) << asError[0];
    std::vector<unsigned char> acIndexBack(kIndexFileSize), acLockBack(kLockFileSize);
    RouteStateToFiles(*pBack, acIndexBack.data(), acLockBack.data());
    EXPECT_EQ(acIndexBack, acIndex);
    EXPECT_EQ(acLockBack, acLock);
    EXPECT_TRUE(DiffRouteStates(*pState, *pBack).empty());
}

TEST(RouteState, MissingAndShortFilesReadAsTheDriverReadsThem)
{
    std::unique_ptr<RouteState> p(new RouteState);
    const unsigned char acIndex[3] = {0x01, 0x2C, 0x07};   // 300, then half an entry
    const unsigned char acLock[2] = {0, 2};
    RouteStateFromFiles(acIndex, sizeof acIndex, acLock, sizeof acLock, p.get());
    EXPECT_EQ(p->aiSource[1], 300);
    EXPECT_EQ(p->aiSource[2], 0);
    EXPECT_EQ(p->aiLock[2], 2);
    EXPECT_EQ(p->aiLock[3], 255);      // missing from a short lock file: locked
    RouteStateFromFiles(acIndex, sizeof acIndex, nullptr, 0, p.get());
    EXPECT_EQ(p->aiLock[3], 0);        // no lock file at all: unlocked
    RouteStateFromFiles(acIndex, sizeof acIndex, acLock, 0, p.get());
    EXPECT_EQ(p->aiLock[1], 255);      // an empty lock file: all locked
}

// Every bad line is reported with its number, and none is taken.
TEST(RouteState, CsvLinesInErrorAreAllReported)
{
    const std::string sCsv =
        "destination,source,locked\r\n"
        "34,12,1\r\n"
        "\r\n"
        "35,13\n"
        "0,1,0\n"
        "41,1,0\n"
        "36,17,0\n"
        "37,-1,0\n"
        "38,1,256\n"
        "34,2,0\n"
        "39, 4 ,x\n"
        " 40 , 16 , 0 \n";
    std::unique_ptr<RouteState> p(new RouteState);
    std::vector<std::string> asError;
    EXPECT_FALSE(ParseRouteCsv(sCsv, "s.csv", 16, 40, p.get(), &asError));
    const std::vector<std::string> asExpected = {
        "s.csv:4: expected three fields: destination,source,locked",
        "s.csv:5: destination 0 is not a number 1..40",
        "s.csv:6: destination 41 is not a number 1..40",
        "s.csv:7: source 17 is not a number 0..16",
        "s.csv:8: source -1 is not a number 0..16",
        "s.csv:9: locked 256 is not a number 0..255",
        "s.csv:10: destination 34 is listed already on line 2",
        "s.csv:11: locked x is not a number 0..255",
    };
    EXPECT_EQ(asError, asExpected);

    asError.clear();
    EXPECT_FALSE(ParseRouteCsv("dest,src,lock\n1,2,0\n", "h.csv", 16, 40, p.get(), &asError));
    ASSERT_EQ(asError.size(), 1u);
    EXPECT_EQ(asError[0], "h.csv:1: expected the header \"destination,source,locked\"");
    // As a Windows tool saves it: byte-order mark, CRLF, the header in
    // another case and with blanks.
    for (const char* pCsv : {"\xEF\xBB\xBF" "destination,source,locked\r\n3,2,1\r\n",
                             "Destination,Source,Locked\n3,2,1\n", " destination, source , locked \r\n3,2,1"}) {
        asError.clear();
        EXPECT_TRUE(ParseRouteCsv(pCsv, "w.csv", 16, 40, p.get(), &asError)) << pCsv << asError[0];
        EXPECT_EQ(p->aiSource[3], 2);
        EXPECT_EQ(p->aiLock[3], 1);
    }
    asError.clear();
    EXPECT_FALSE(ParseRouteCsv("\n", "e.csv", 16, 40, p.get(), &asError));
    ASSERT_EQ(asError.size(), 1u);
    EXPECT_EQ(asError[0], "e.csv: empty, expected the header \"destination,source,locked\"");
}

TEST(RouteState, TableAndDifferences)
{
    std::unique_ptr<RouteState> pA = EmptyState(), pB = EmptyState();
    pA->aiSource[34] = 12;
    pA->aiLock[34] = 1;
    pA->aiSource[35] = 13;
    pA->aiLock[36] = 2;
    const std::map<int, std::string> mapSource = {{12, "Camera 1"}, {13, "Presenter"}};
    const std::map<int, std::string> mapDest = {{34, "Monitor 34"}};
    EXPECT_EQ(FormatRouteTable(*pA, 36, mapSource, mapDest, true, false),
              " dest             source            lock\n"
              "   34 Monitor 34      12 Camera 1   locked\n"
              "   35                 13 Presenter\n");
    EXPECT_EQ(FormatRouteTable(*pA, 40, {}, {}, false, true),
              " dest  source  lock\n"
              "   34      12  locked\n"
              "   36       -  locked (2)\n");
    EXPECT_EQ(FormatRouteTable(*pA, 35, {}, {}, true, true), " dest  source  lock\n   34      12  locked\n");

    pB->aiSource[34] = 12;
    pB->aiSource[35] = 14;
    pB->aiLock[35] = 1;
    std::vector<std::string> asLine;
    for (const RouteChange& change : DiffRouteStates(*pA, *pB)) asLine.push_back(FormatRouteChange(change));
    const std::vector<std::string> asExpected = {"destination 34: lock 1 -> 0",
                                                 "destination 35: source 13 -> 14, lock 0 -> 1",
                                                 "destination 36: lock 2 -> 0"};
    EXPECT_EQ(asLine, asExpected);
    EXPECT_EQ(SummarizeRouteChanges(DiffRouteStates(*pA, *pB)),
              "3 destinations change: 0 routes gained, 0 lost, 1 moved; 1 lock gained, 2 lost");
    pB->aiSource[36] = 3;
    pB->aiSource[35] = 0;
    pB->aiLock[36] = 7;   // a lock value that changes is neither gained nor lost
    EXPECT_EQ(SummarizeRouteChanges(DiffRouteStates(*pA, *pB)),
              "3 destinations change: 1 route gained, 1 lost, 0 moved; 1 lock gained, 1 lost");
    EXPECT_EQ(SummarizeRouteChanges({}), "0 destinations change: 0 routes gained, 0 lost, 0 moved; 0 locks gained, 0 lost");
}

TEST(PeerFiles, SlotsAndNamesAsThePeersReadThem)
{
    std::vector<SlotLine> aSlots;
    std::vector<std::string> asError;
    ASSERT_TRUE(ParseSlotsText("# c\n12 5,7, x \r\n\n 3\t'a b'\n12 6\n", "s.txt", &aSlots, &asError)) << asError[0];
    ASSERT_EQ(aSlots.size(), 2u);
    EXPECT_EQ(aSlots[0].iSlot, 3);
    EXPECT_EQ(aSlots[0].sText, "'a b'");
    EXPECT_EQ(aSlots[1].iSlot, 12);   // the later line wins, as in the InfoDriver
    EXPECT_EQ(aSlots[1].sText, "6");
    EXPECT_EQ(aSlots[1].iLine, 5);
    EXPECT_FALSE(ParseSlotsText("1 a\n4097 b\n12a b\n3 " + std::string(513, 'x') + "\n", "s.txt", &aSlots,
                                &asError));
    EXPECT_EQ(asError, (std::vector<std::string>{"s.txt:2: slot number outside 1..4096",
                                                 "s.txt:3: expected a slot number first",
                                                 "s.txt:4: slot text longer than 512 characters"}));
    // A byte-order mark is not part of the first line.
    asError.clear();
    ASSERT_TRUE(ParseSlotsText("\xEF\xBB\xBF" "7 a\r\n", "s.txt", &aSlots, &asError)) << asError[0];
    ASSERT_EQ(aSlots.size(), 1u);
    EXPECT_EQ(aSlots[0].sText, "a");

    std::string sError;
    std::map<int, std::string> mapSource, mapDest;
    ASSERT_TRUE(ParseNamesText("src 12 Camera 1\n1 34  Monitor 34\n# x\n", "n.txt", &mapSource, &mapDest, &sError));
    EXPECT_EQ(mapSource[12], "Camera 1");
    EXPECT_EQ(mapDest[34], "Monitor 34");
    EXPECT_FALSE(ParseNamesText("dest 1 x\n", "n.txt", &mapSource, &mapDest, &sError));
    EXPECT_EQ(sError, "n.txt:1: expected src or dst first");
}
