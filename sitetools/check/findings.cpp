#include "sitetools/check/findings.h"

#include <cstdio>

namespace {

// The findings in report order: errors, warnings, notes, each group in the
// order found.
std::vector<const Finding*> ReportOrder(const std::vector<Finding>& aFindings)
{
    std::vector<const Finding*> apOrdered;
    for (int iSeverity = kError; iSeverity >= kNote; --iSeverity) {
        for (const Finding& f : aFindings) {
            if (f.eSeverity == iSeverity) apOrdered.push_back(&f);
        }
    }
    return apOrdered;
}

int CountOf(const std::vector<Finding>& aFindings, Severity eSeverity)
{
    int n = 0;
    for (const Finding& f : aFindings) n += f.eSeverity == eSeverity;
    return n;
}

std::string Counted(int n, const char* pWord)
{
    return std::to_string(n) + " " + pWord + (n == 1 ? "" : "s");
}

}  // namespace

void AddFinding(std::vector<Finding>* pFindings, Severity eSeverity, const std::string& sKey,
                const std::string& sValue, const std::string& sEffect)
{
    pFindings->push_back(Finding{eSeverity, sKey, sValue, false, sEffect});
}

void AddMissing(std::vector<Finding>* pFindings, Severity eSeverity, const std::string& sKey,
                const std::string& sEffect)
{
    pFindings->push_back(Finding{eSeverity, sKey, "", true, sEffect});
}

const char* SeverityName(Severity eSeverity)
{
    switch (eSeverity) {
    case kError:
        return "error";
    case kWarning:
        return "warning";
    default:
        return "note";
    }
}

int FindingsExitCode(const std::vector<Finding>& aFindings)
{
    int iCode = 0;
    for (const Finding& f : aFindings) {
        if (f.eSeverity == kError) return 2;
        if (f.eSeverity == kWarning) iCode = 1;
    }
    return iCode;
}

std::string FindingsSummary(const std::vector<Finding>& aFindings)
{
    return Counted(CountOf(aFindings, kError), "error") + ", " + Counted(CountOf(aFindings, kWarning), "warning") +
           ", " + Counted(CountOf(aFindings, kNote), "note");
}

std::string FormatFindingsText(const std::vector<Finding>& aFindings)
{
    std::string sOut;
    for (const Finding* p : ReportOrder(aFindings)) {
        std::string sHead = SeverityName(p->eSeverity);
        sHead.resize(9, ' ');
        sOut += sHead + p->sKey + (p->bMissing ? " (missing)" : " = " + QuotedText(p->sValue)) + "\n";
        sOut += std::string(9, ' ') + p->sEffect + "\n";
    }
    return sOut;
}

std::string FormatFindingsJson(int iDevice, const std::string& sProfile, const std::vector<Finding>& aFindings,
                               const std::string& sMembers)
{
    std::string sOut = "{\"device\":" + std::to_string(iDevice) + ",\"profile\":" + JsonString(sProfile) +
                       (sMembers.empty() ? "" : "," + sMembers) + ",\"errors\":" + std::to_string(CountOf(aFindings, kError)) +
                       ",\"warnings\":" + std::to_string(CountOf(aFindings, kWarning)) +
                       ",\"notes\":" + std::to_string(CountOf(aFindings, kNote)) + ",\"findings\":[";
    bool bFirst = true;
    for (const Finding* p : ReportOrder(aFindings)) {
        if (!bFirst) sOut += ",";
        bFirst = false;
        sOut += "{\"severity\":" + JsonString(SeverityName(p->eSeverity)) + ",\"key\":" + JsonString(p->sKey) +
                ",\"value\":" + (p->bMissing ? std::string("null") : JsonString(p->sValue)) +
                ",\"effect\":" + JsonString(p->sEffect) + "}";
    }
    return sOut + "]}\n";
}

std::string JsonString(const std::string& sText)
{
    std::string sOut = "\"";
    for (unsigned char c : sText) {
        if (c == '"' || c == '\\') {
            sOut += '\\';
            sOut += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char ac[8];
            std::snprintf(ac, sizeof ac, "\\u%04x", c);
            sOut += ac;
        } else {
            sOut += static_cast<char>(c);
        }
    }
    return sOut + "\"";
}

std::string QuotedText(const std::string& sText)
{
    std::string sOut = "\"";
    for (unsigned char c : sText) {
        if (c == '"') {
            sOut += '\\';
            sOut += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char ac[8];
            std::snprintf(ac, sizeof ac, "\\x%02X", c);
            sOut += ac;
        } else {
            sOut += static_cast<char>(c);
        }
    }
    return sOut + "\"";
}
