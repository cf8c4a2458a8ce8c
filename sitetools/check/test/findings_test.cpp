#include "sitetools/check/findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Findings, ReportOrderCountsAndExitCode)
{
    std::vector<Finding> aFindings;
    EXPECT_EQ(FindingsExitCode(aFindings), 0);
    AddMissing(&aFindings, kNote, "[Combiner] NameLength", "the driver writes NameLength=8");
    EXPECT_EQ(FindingsExitCode(aFindings), 0);
    AddFinding(&aFindings, kWarning, "[Combiner] SaveDelay", "-3", "negative");
    EXPECT_EQ(FindingsExitCode(aFindings), 1);
    AddFinding(&aFindings, kError, "[Combiner] ExternalDLL", "C:\\f\\\"x\".dll\x01", "not found");
    EXPECT_EQ(FindingsExitCode(aFindings), 2);
    EXPECT_EQ(FindingsSummary(aFindings), "1 error, 1 warning, 1 note");

    // Errors first; a missing key has no value; paths keep their backslashes.
    EXPECT_EQ(FormatFindingsText(aFindings),
              "error    [Combiner] ExternalDLL = \"C:\\f\\\\\"x\\\".dll\\x01\"\n"
              "         not found\n"
              "warning  [Combiner] SaveDelay = \"-3\"\n"
              "         negative\n"
              "note     [Combiner] NameLength (missing)\n"
              "         the driver writes NameLength=8\n");

    EXPECT_EQ(FormatFindingsJson(201, "Z:\\cfg\\DEV_201.INI", aFindings),
              "{\"device\":201,\"profile\":\"Z:\\\\cfg\\\\DEV_201.INI\",\"errors\":1,\"warnings\":1,\"notes\":1,"
              "\"findings\":["
              "{\"severity\":\"error\",\"key\":\"[Combiner] ExternalDLL\",\"value\":\"C:\\\\f\\\\\\\"x\\\".dll\\u0001\","
              "\"effect\":\"not found\"},"
              "{\"severity\":\"warning\",\"key\":\"[Combiner] SaveDelay\",\"value\":\"-3\",\"effect\":\"negative\"},"
              "{\"severity\":\"note\",\"key\":\"[Combiner] NameLength\",\"value\":null,"
              "\"effect\":\"the driver writes NameLength=8\"}]}\n");
    EXPECT_EQ(JsonString("\xE9\t"), "\"\\u00e9\\u0009\"");
}
