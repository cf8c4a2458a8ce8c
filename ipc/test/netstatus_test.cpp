// Network status texts: the in-place parse and the bounded answer.
#include "ipc/netstatus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Answer(const char* pText, int iRvxNumber, int iTxRx, size_t nSize = 513)
{
    std::vector<char> acText(pText, pText + std::strlen(pText) + 1);
    NetStatus sStatus;
    ParseNetworkStatus(acText.data(), &sStatus);
    std::vector<char> acOut(nSize, '#');
    FormatNetworkAnswer(acOut.data(), acOut.size(), &sStatus, iRvxNumber, iTxRx);
    return acOut.data();
}

NetStatus Parse(std::string& sText)
{
    NetStatus sStatus;
    ParseNetworkStatus(&sText[0], &sStatus);
    return sStatus;
}

}  // namespace

TEST(NetworkStatus, ParsesFieldsAndTheTxRxKey)
{
    std::string s = "NS 5 1 'TXRX=2' a b c";
    NetStatus st = Parse(s);
    EXPECT_EQ(st.iField0, 5);
    EXPECT_EQ(st.iField1, 1);
    EXPECT_EQ(st.bTxRxKey, 1);
    EXPECT_EQ(st.iTxRxValue, 2);
    EXPECT_STREQ(st.apExtra[0], "a");
    EXPECT_STREQ(st.apExtra[1], "b");
    EXPECT_STREQ(st.apExtra[2], "c");
    EXPECT_EQ(Answer("NS 5 1 'TXRX=2' a b c", 1, 2), "NS 005 001 'TXRX=2' a b c");
}

TEST(NetworkStatus, KeyMatchesInAnyCaseAndOnlyWhole)
{
    const struct {
        const char* pText;
        int bKey;
        int iValue;
    } aCase[] = {
        {"NS 1 1 'txrx=3'", 1, 3},   {"NS 1 1 'TxRx=1'", 1, 1},  {"NS 1 1 'TXRX = 2'", 1, 2},
        {"NS 1 1 TXRX=2", 1, 2},     {"NS 1 1 'TXRX'", 1, 0},    {"NS 1 1 'TXRX='", 1, 0},
        {"NS 1 1 'MODE=1'", 0, 1},   {"NS 1 1 'TXRXX=2'", 0, 2}, {"NS 1 1 'TXR=2'", 0, 2},
        {"NS 1 1 '=TXRX=2'", 1, 2},  {"NS 1 1", 0, 0},           {"NS 1 1 'TXRX=x2'", 1, 0},
    };
    for (const auto& c : aCase) {
        std::string s = c.pText;
        NetStatus st = Parse(s);
        EXPECT_EQ(st.bTxRxKey, c.bKey) << c.pText;
        EXPECT_EQ(st.iTxRxValue, c.iValue) << c.pText;
    }
}

TEST(NetworkStatus, MissingFieldsAreEmptyInTheAnswer)
{
    EXPECT_EQ(Answer("NS 7 2 'TXRX=1'", 2, 1), "NS 007 002 'TXRX=1'   ");
    EXPECT_EQ(Answer("NS 7 2 'TXRX=1' 'two words'", 2, 1), "NS 007 002 'TXRX=1' two words  ");
    EXPECT_EQ(Answer("NS", 3, 0), "NS 000 003 'TXRX=0'   ");
    std::string s = "NS";
    NetStatus st = Parse(s);
    EXPECT_EQ(st.bTxRxKey, 0);
    EXPECT_STREQ(st.apExtra[2], "");
}

TEST(NetworkStatus, LongFieldsAreCutToTheBuffer)
{
    std::string sLong(500, 'x');
    std::string sText = "NS 1 1 'TXRX=2' " + sLong + " " + sLong + " " + sLong;
    std::string sOut = Answer(sText.c_str(), 1, 2);
    EXPECT_EQ(sOut.size(), 512u);
    EXPECT_EQ(sOut.substr(0, 27), "NS 001 001 'TXRX=2' xxxxxxx");

    char acSmall[8];
    std::memset(acSmall, '#', sizeof acSmall);
    std::string s = "NS 1 1 'TXRX=2' a b c";
    NetStatus st = Parse(s);
    EXPECT_EQ(FormatNetworkAnswer(acSmall, sizeof acSmall, &st, 1, 2), 7);
    EXPECT_STREQ(acSmall, "NS 001 ");
}

// Random texts of any bytes and length: the parse stays inside the text and
// the answer inside its buffer (checked by the sanitizers).
TEST(NetworkStatus, RandomTextsStayInBounds)
{
    std::mt19937 rng(4711);
    const char acAlphabet[] = "NS TXRXtxrx=' 0123456789-+ab\t";
    for (int iRound = 0; iRound < 20000; ++iRound) {
        size_t n = rng() % 700;
        std::vector<char> acText(n + 1);
        for (size_t i = 0; i < n; ++i) {
            acText[i] = (rng() % 4 == 0) ? static_cast<char>(rng() % 255 + 1)
                                         : acAlphabet[rng() % (sizeof acAlphabet - 1)];
        }
        acText[n] = '\0';
        NetStatus st;
        ParseNetworkStatus(acText.data(), &st);
        size_t nOut = 1 + rng() % 600;
        std::vector<char> acOut(nOut);
        int iLength = FormatNetworkAnswer(acOut.data(), acOut.size(), &st, static_cast<int>(rng()), 2);
        ASSERT_GE(iLength, 0);
        ASSERT_LT(static_cast<size_t>(iLength), nOut);
        ASSERT_EQ(std::strlen(acOut.data()), static_cast<size_t>(iLength));
    }
}
