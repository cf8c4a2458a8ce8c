#include "core/journal_text.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/command_text.h"
#include "core/tokenizer.h"

namespace {

const char* RefusalName(Refusal eRefusal)
{
    switch (eRefusal) {
    case kRefusedFields: return "fields";
    case kRefusedDevice: return "device";
    case kRefusedAccess: return "access";
    case kRefusedRange:  return "range";
    case kRefusedLock:   return "lock";
    default:             return "?";
    }
}

// Appends to pOut, keeping it terminated within nSize; *pnLength counts
// what the whole line needs.
void Append(char* pOut, size_t nSize, int* pnLength, const char* pText)
{
    size_t n = std::strlen(pText);
    size_t iAt = static_cast<size_t>(*pnLength);
    if (iAt < nSize) {
        size_t nFits = nSize - 1 - iAt < n ? nSize - 1 - iAt : n;
        std::memcpy(pOut + iAt, pText, nFits);
        pOut[iAt + nFits] = '\0';
    }
    *pnLength += static_cast<int>(n);
}

// A text as one line: control characters (a newline in a command, say)
// are written as \xNN, so that every entry stays on its own line.
void AppendText(char* pOut, size_t nSize, int* pnLength, const char* pText)
{
    char acRun[256];
    size_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pText); *p != '\0'; ++p) {
        if (n + 5 > sizeof acRun) {
            acRun[n] = '\0';
            Append(pOut, nSize, pnLength, acRun);
            n = 0;
        }
        if (*p < 0x20 || *p == 0x7f) {
            n += static_cast<size_t>(std::snprintf(acRun + n, sizeof acRun - n, "\\x%02X", *p));
        } else {
            acRun[n++] = static_cast<char>(*p);
        }
    }
    acRun[n] = '\0';
    Append(pOut, nSize, pnLength, acRun);
}

void AppendStamp(char* pOut, size_t nSize, int* pnLength, const JournalTime& t)
{
    char acStamp[64];
    std::snprintf(acStamp, sizeof acStamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.iYear, t.iMonth, t.iDay, t.iHour,
                  t.iMinute, t.iSecond, t.iMilliseconds);
    Append(pOut, nSize, pnLength, acStamp);
}

// The workstation field of a command (its last), split from a copy: the
// command's own text is split by its handler.
bool CommandWorkstation(const char* pText, CommandKind eKind, int* piWorkstation)
{
    const int nFields = CommandFieldCount(eKind);
    char acCopy[1024];
    if (nFields == 0 || std::strlen(pText) >= sizeof acCopy) return false;
    std::strcpy(acCopy, pText);
    char* apField[6];
    int aiValue[5];
    if (TokenizeCommand(acCopy, nFields, apField, aiValue) < nFields) return false;
    *piWorkstation = aiValue[nFields - 1];
    return true;
}

}  // namespace

namespace {

// "<stamp> ws W <verdict> | <text>"; a null verdict: the command's own
// ("accepted", "refused (R)", "not a router command").
int FormatCommandLine(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText, Refusal eRefusal,
                      const char* pVerdict)
{
    if (pText == nullptr) pText = "";
    int nLength = 0;
    if (nSize > 0) pOut[0] = '\0';
    AppendStamp(pOut, nSize, &nLength, sTime);
    const CommandKind eKind = CommandKindOf(pText);
    int iWorkstation = 0;
    char acPart[64];
    if (CommandWorkstation(pText, eKind, &iWorkstation)) {
        std::snprintf(acPart, sizeof acPart, " ws %d ", iWorkstation);
    } else {
        std::snprintf(acPart, sizeof acPart, " ws - ");
    }
    Append(pOut, nSize, &nLength, acPart);
    if (pVerdict != nullptr) {
        Append(pOut, nSize, &nLength, pVerdict);
    } else if (eKind == CMD_NONE) {
        Append(pOut, nSize, &nLength, "not a router command");
    } else if (eRefusal == kNotRefused) {
        Append(pOut, nSize, &nLength, "accepted");
    } else {
        std::snprintf(acPart, sizeof acPart, "refused (%s)", RefusalName(eRefusal));
        Append(pOut, nSize, &nLength, acPart);
    }
    Append(pOut, nSize, &nLength, " | ");
    AppendText(pOut, nSize, &nLength, pText);
    return nLength;
}

}  // namespace

int FormatJournalCommand(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText, Refusal eRefusal)
{
    return FormatCommandLine(pOut, nSize, sTime, pText, eRefusal, nullptr);
}

int FormatJournalDropped(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText)
{
    return FormatCommandLine(pOut, nSize, sTime, pText, kNotRefused, "dropped at close");
}

int FormatJournalLevel(char* pOut, size_t nSize, const JournalTime& sTime, int iMessage, int iTarget,
                       const char* pText, bool bDelivered)
{
    int nLength = 0;
    if (nSize > 0) pOut[0] = '\0';
    AppendStamp(pOut, nSize, &nLength, sTime);
    char acPart[64];
    std::snprintf(acPart, sizeof acPart, bDelivered ? "   sent %d to %d | " : "   not delivered %d to %d | ",
                  iMessage, iTarget);
    Append(pOut, nSize, &nLength, acPart);
    AppendText(pOut, nSize, &nLength, pText != nullptr ? pText : "");
    return nLength;
}

int FormatJournalNote(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText)
{
    int nLength = 0;
    if (nSize > 0) pOut[0] = '\0';
    AppendStamp(pOut, nSize, &nLength, sTime);
    Append(pOut, nSize, &nLength, "   ");
    AppendText(pOut, nSize, &nLength, pText != nullptr ? pText : "");
    return nLength;
}

int FormatJournalEvent(char* pOut, size_t nSize, const JournalTime& sTime, const char* pKind, const char* pText)
{
    int nLength = 0;
    if (nSize > 0) pOut[0] = '\0';
    AppendStamp(pOut, nSize, &nLength, sTime);
    Append(pOut, nSize, &nLength, "   ** ");
    Append(pOut, nSize, &nLength, pKind != nullptr ? pKind : "");
    Append(pOut, nSize, &nLength, " | ");
    AppendText(pOut, nSize, &nLength, pText != nullptr ? pText : "");
    return nLength;
}

std::string JournalStartText(const char* pVersion, int iDevice, const char* pProfile, int iSources, int iDests)
{
    return std::string("zur.exe ") + pVersion + ", device " + std::to_string(iDevice) + ", profile " + pProfile +
           ", DatabaseSize_0=" + std::to_string(iSources) + ", DatabaseSize_1=" + std::to_string(iDests);
}

std::string JournalRegistrationText(int iResult, const char* pRefusal)
{
    if (iResult == 0) return "registered with RVX";
    return "refused (" + std::to_string(iResult) + "): " + (pRefusal != nullptr ? pRefusal : "");
}

std::string JournalTxRxText(bool bTxRx, const char* pWhy)
{
    return std::string(bTxRx ? "TX/RX" : "RX only") + " (" + (pWhy != nullptr ? pWhy : "") + ")";
}

std::string JournalImportText(const char* pFile, const char* pChanges, int nRouted, int nLocked, const char* pBackup)
{
    return std::string("zurdb import of ") + pFile + ": " + pChanges + "; now " + std::to_string(nRouted) +
           " routed, " + std::to_string(nLocked) + " locked; " + pBackup;
}

JournalSizeText ParseJournalSize(const char* pText, int* piKb)
{
    if (pText == nullptr) return kJournalSizeNotNumber;
    const bool bNegative = pText[0] == '-';
    const char* p = bNegative ? pText + 1 : pText;
    if (*p == '\0') return kJournalSizeNotNumber;
    unsigned long long ullValue = 0;
    if (*ScanDecimal(p, static_cast<unsigned long long>(INT_MAX) + 1, &ullValue) != '\0') return kJournalSizeNotNumber;
    if (ullValue > INT_MAX) return kJournalSizeNotNumber;
    if (bNegative && ullValue != 0) return kJournalSizeNegative;
    *piKb = static_cast<int>(ullValue);
    return kJournalSizeNumber;
}
