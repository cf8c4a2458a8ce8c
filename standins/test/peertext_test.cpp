// Script lines, durations, numbered file lines and the quoting of texts in
// the traffic record.
#include "standins/common/peertext.h"

#include <gtest/gtest.h>

TEST(SplitScriptLine, WordsQuotesEscapesAndComments)
{
    std::vector<std::string> as;
    std::string sError;
    ASSERT_TRUE(SplitScriptLine("send 2189 \"RC 201 12 34 ',1,2' 7\" 3  # a take", &as, &sError));
    ASSERT_EQ(as.size(), 4u);
    EXPECT_EQ(as[2], "RC 201 12 34 ',1,2' 7");
    EXPECT_EQ(as[3], "3");

    ASSERT_TRUE(SplitScriptLine("mark \"a \\\"b\\\" \\\\ \\x41\\t# not a comment\"\r\n", &as, &sError));
    ASSERT_EQ(as.size(), 2u);
    EXPECT_EQ(as[1], "a \"b\" \\ A\t# not a comment");

    ASSERT_TRUE(SplitScriptLine("send 2189 \"\"", &as, &sError));
    ASSERT_EQ(as.size(), 3u);
    EXPECT_EQ(as[2], "");

    ASSERT_TRUE(SplitScriptLine("   # only a comment", &as, &sError));
    EXPECT_TRUE(as.empty());
}

TEST(SplitScriptLine, RejectsBrokenQuoting)
{
    std::vector<std::string> as;
    std::string sError;
    EXPECT_FALSE(SplitScriptLine("mark \"open", &as, &sError));
    EXPECT_EQ(sError, "missing closing quote");
    EXPECT_FALSE(SplitScriptLine("mark \"a\"b", &as, &sError));
    EXPECT_FALSE(SplitScriptLine("mark a\"b\"", &as, &sError));
    EXPECT_FALSE(SplitScriptLine("mark \"\\q\"", &as, &sError));
    EXPECT_FALSE(SplitScriptLine("mark \"\\x4\"", &as, &sError));
}

TEST(ParseNumbers, IntegersAndDurations)
{
    long long ll = 0;
    EXPECT_TRUE(ParseInteger("33737", &ll));
    EXPECT_EQ(ll, 33737);
    EXPECT_TRUE(ParseInteger("0x8000", &ll));
    EXPECT_EQ(ll, 0x8000);
    EXPECT_TRUE(ParseInteger("-1", &ll));
    EXPECT_EQ(ll, -1);
    EXPECT_FALSE(ParseInteger("12a", &ll));
    EXPECT_FALSE(ParseInteger("0x", &ll));
    EXPECT_FALSE(ParseInteger("", &ll));
    EXPECT_FALSE(ParseInteger("99999999999999999999", &ll));

    long l = 0;
    EXPECT_TRUE(ParseDuration("5", 1000, &l));
    EXPECT_EQ(l, 5000);
    EXPECT_TRUE(ParseDuration("200", 1, &l));
    EXPECT_EQ(l, 200);
    EXPECT_TRUE(ParseDuration("2.5s", 1, &l));
    EXPECT_EQ(l, 2500);
    EXPECT_TRUE(ParseDuration("300ms", 1000, &l));
    EXPECT_EQ(l, 300);
    EXPECT_FALSE(ParseDuration("5m", 1000, &l));
    EXPECT_FALSE(ParseDuration("-1", 1000, &l));
    EXPECT_FALSE(ParseDuration("s", 1000, &l));
}

TEST(ParseNumberedLine, SlotAndNameLines)
{
    long l = 0;
    std::string s;
    EXPECT_EQ(ParseNumberedLine("12 1,2,3\r", &l, &s), 1);
    EXPECT_EQ(l, 12);
    EXPECT_EQ(s, "1,2,3");
    EXPECT_EQ(ParseNumberedLine("  7\t  'a b'  ", &l, &s), 1);
    EXPECT_EQ(s, "'a b'  ");   // trailing blanks belong to the text
    EXPECT_EQ(ParseNumberedLine("9", &l, &s), 1);
    EXPECT_EQ(s, "");
    EXPECT_EQ(ParseNumberedLine("# 5 comment", &l, &s), 0);
    EXPECT_EQ(ParseNumberedLine("   \r", &l, &s), 0);
    EXPECT_EQ(ParseNumberedLine("x5 text", &l, &s), -1);
    EXPECT_EQ(ParseNumberedLine("5x text", &l, &s), -1);
}

TEST(QuoteText, EscapesOnlyWhatWouldBreakTheLine)
{
    std::string s;
    QuoteText("RC 201 12 34 ',1,2' 7", 513, &s);
    EXPECT_EQ(s, "\"RC 201 12 34 ',1,2' 7\"");
    s.clear();
    QuoteText("a\"b\\c\x01\xe9", 513, &s);
    EXPECT_EQ(s, "\"a\\\"b\\\\c\\x01\\xE9\"");
    s.clear();
    QuoteText("abcdef", 3, &s);   // never past the given length
    EXPECT_EQ(s, "\"abc\"");
}
