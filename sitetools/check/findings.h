// Findings of a site check: what a key or slot holds, what the driver will do
// with it, and how serious that is; their report as text or JSON
// (platform-free).
#pragma once
#include <string>
#include <vector>

// error: the driver refuses to start, or part of the configuration can never
// take effect as written; warning: accepted, but probably not what was
// meant; note: a default filled in, or something worth knowing.
enum Severity { kNote = 0, kWarning = 1, kError = 2 };

struct Finding {
    Severity eSeverity;
    std::string sKey;      // where: "[Levels] Level_05", "sources.txt:4 slot 12 level 3"
    std::string sValue;    // the text found there as it stands
    bool bMissing;         // no such key or slot: sValue is empty
    std::string sEffect;   // what the driver does with it
};

void AddFinding(std::vector<Finding>* pFindings, Severity eSeverity, const std::string& sKey,
                const std::string& sValue, const std::string& sEffect);
void AddMissing(std::vector<Finding>* pFindings, Severity eSeverity, const std::string& sKey,
                const std::string& sEffect);

const char* SeverityName(Severity eSeverity);

// 0 with notes at most, 1 with a warning, 2 with an error.
int FindingsExitCode(const std::vector<Finding>& aFindings);

// "1 error, 2 warnings, 3 notes".
std::string FindingsSummary(const std::vector<Finding>& aFindings);

// Two lines per finding, errors first, each group in the order found:
//   error    [Database] DatabaseSize_0 = "0"
//            no source package can be taken: ...
std::string FormatFindingsText(const std::vector<Finding>& aFindings);

// One JSON object: {"device":N,"profile":"...","errors":E,"warnings":W,
// "notes":N,"findings":[{"severity":...,"key":...,"value":...|null,
// "effect":...}]}, the findings in the order of the text report. sMembers,
// when not empty, are further members ("name":value,...) placed after
// "profile".
std::string FormatFindingsJson(int iDevice, const std::string& sProfile, const std::vector<Finding>& aFindings,
                               const std::string& sMembers = "");

// A JSON string literal of the text: quotes, backslashes and control
// characters escaped, bytes above 0x7E as \u00XX (the texts are 8-bit).
std::string JsonString(const std::string& sText);

// A text in double quotes for the report: a double quote gets a backslash
// (a backslash stays as it is: profiles hold Windows paths), a byte outside
// printable ASCII becomes \xNN.
std::string QuotedText(const std::string& sText);
