#include "standins/common/peerscript.h"

#include "core/device_names.h"
#include "core/messages.h"
#include "ipc/transport.h"
#include "standins/common/peer.h"
#include "standins/common/peertext.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

enum {
    kWaitAttach = 1, kFindDriver, kSend, kNumber, kPlain, kPost, kSleep, kStall, kExpect, kExpectLine,
    kExpectNone, kClear, kMark, kElapsed, kDebug, kSet, kWaitClosed, kQuit
};

// A parameter that is a number or one of the two windows.
enum { kArgNumber = 0, kArgSelf = 1, kArgDriver = 2 };

struct ScriptStep {
    int iLine;
    int iVerb;
    int iMessage;
    std::string sText;      // send: text; expect: part; mark: text; set: name
    long long llA;          // send/number: value; plain/post: wparam; set: value; quit: code
    long long llB;          // number: the number; plain/post: lparam
    int iArgA;
    int iArgB;
    long lMs;               // time limit or time
    std::string sSource;    // the line as written, for messages
};

std::vector<ScriptStep> asStep;
ScriptSetHook pfnSetHook = nullptr;
HWND hDriver = nullptr;
int iSearchFrom = 0;        // first record line that an expect may match

int ParseArg(const std::string& s, long long* pll, int* piKind)
{
    *piKind = kArgNumber;
    *pll = 0;
    if (s == "self") {
        *piKind = kArgSelf;
        return 1;
    }
    if (s == "driver") {
        *piKind = kArgDriver;
        return 1;
    }
    return ParseInteger(s.c_str(), pll);
}

int ParseMessage(const std::string& s, int* piMessage)
{
    long long ll = 0;
    if (!ParseInteger(s.c_str(), &ll) || ll < 1 || ll > 0xFFFF) return 0;
    *piMessage = static_cast<int>(ll);
    return 1;
}

// True when the word looks like a time ("5", "2.5", "500ms", "3s").
int IsTime(const std::string& s)
{
    long l = 0;
    return ParseDuration(s.c_str(), 1, &l);
}

int Fail(std::string* pError, const char* pReason)
{
    *pError = pReason;
    return 0;
}

}  // namespace

namespace {

// A repeat block being read: its count and its lines, not yet parsed.
int iRepeatCount = 0;
std::vector<std::pair<int, std::string>> asRepeatBody;

int ParseStep(const char* pText, int iLine, const std::vector<std::string>& asWord, std::string* pError)
{
    ScriptStep s = {};
    s.iLine = iLine;
    s.sSource = pText;
    while (!s.sSource.empty() && (s.sSource.back() == '\r' || s.sSource.back() == '\n')) s.sSource.pop_back();
    const std::string& sVerb = asWord[0];
    size_t n = asWord.size();

    if (sVerb == "wait-attach" || sVerb == "find-driver" || sVerb == "wait-closed") {
        s.iVerb = sVerb == "wait-attach" ? kWaitAttach : sVerb == "find-driver" ? kFindDriver : kWaitClosed;
        s.lMs = 10000;
        if (n > 2) return Fail(pError, "too many words");
        if (n == 2 && !ParseDuration(asWord[1].c_str(), 1000, &s.lMs)) return Fail(pError, "bad time limit");
    } else if (sVerb == "send") {
        s.iVerb = kSend;
        if (n < 3 || n > 4) return Fail(pError, "send MSG \"TEXT\" [VALUE]");
        if (!ParseMessage(asWord[1], &s.iMessage)) return Fail(pError, "bad message number");
        s.sText = asWord[2];
        if (s.sText.size() > static_cast<size_t>(kTextBlockSize - 1)) return Fail(pError, "text longer than 512");
        if (n == 4 && !ParseInteger(asWord[3].c_str(), &s.llA)) return Fail(pError, "bad value");
    } else if (sVerb == "number") {
        s.iVerb = kNumber;
        if (n < 3 || n > 4) return Fail(pError, "number MSG NUMBER [VALUE]");
        if (!ParseMessage(asWord[1], &s.iMessage)) return Fail(pError, "bad message number");
        if (!ParseInteger(asWord[2].c_str(), &s.llB)) return Fail(pError, "bad number");
        if (n == 4 && !ParseInteger(asWord[3].c_str(), &s.llA)) return Fail(pError, "bad value");
    } else if (sVerb == "plain" || sVerb == "post") {
        s.iVerb = sVerb == "plain" ? kPlain : kPost;
        if (n != 4) return Fail(pError, "plain|post MSG WPARAM LPARAM");
        if (!ParseMessage(asWord[1], &s.iMessage)) return Fail(pError, "bad message number");
        if (!ParseArg(asWord[2], &s.llA, &s.iArgA)) return Fail(pError, "bad wparam");
        if (!ParseArg(asWord[3], &s.llB, &s.iArgB)) return Fail(pError, "bad lparam");
    } else if (sVerb == "sleep" || sVerb == "stall") {
        s.iVerb = sVerb == "sleep" ? kSleep : kStall;
        if (n != 2 || !ParseDuration(asWord[1].c_str(), 1, &s.lMs)) return Fail(pError, (sVerb + " MS").c_str());
    } else if (sVerb == "expect" || sVerb == "expect-none") {
        s.iVerb = sVerb == "expect" ? kExpect : kExpectNone;
        s.lMs = s.iVerb == kExpect ? 5000 : 1000;
        long lUnit = s.iVerb == kExpect ? 1000 : 1;
        if (n < 2 || n > 4) return Fail(pError, "expect MSG [\"PART\"] [LIMIT]");
        if (!ParseMessage(asWord[1], &s.iMessage)) return Fail(pError, "bad message number");
        // A third word is the part unless it is the last one and a time;
        // a part that looks like a time can be given with a time after it.
        if (n == 4) {
            s.sText = asWord[2];
            if (!ParseDuration(asWord[3].c_str(), lUnit, &s.lMs)) return Fail(pError, "bad time");
        } else if (n == 3) {
            if (IsTime(asWord[2]) && asWord[2].find(' ') == std::string::npos && !std::strchr(pText, '"')) {
                ParseDuration(asWord[2].c_str(), lUnit, &s.lMs);
            } else {
                s.sText = asWord[2];
            }
        }
    } else if (sVerb == "expect-line") {
        s.iVerb = kExpectLine;
        s.lMs = 5000;
        if (n < 2 || n > 3) return Fail(pError, "expect-line \"PART\" [LIMIT]");
        s.sText = asWord[1];
        if (n == 3 && !ParseDuration(asWord[2].c_str(), 1000, &s.lMs)) return Fail(pError, "bad time limit");
    } else if (sVerb == "clear") {
        s.iVerb = kClear;
        if (n != 1) return Fail(pError, "clear takes nothing");
    } else if (sVerb == "mark") {
        s.iVerb = kMark;
        if (n != 2) return Fail(pError, "mark \"TEXT\"");
        s.sText = asWord[1];
    } else if (sVerb == "elapsed") {
        s.iVerb = kElapsed;
        if (n != 2) return Fail(pError, "elapsed \"LABEL\"");
        s.sText = asWord[1];
    } else if (sVerb == "debug") {
        s.iVerb = kDebug;
        if (n != 2) return Fail(pError, "debug \"TEXT\"");
        s.sText = asWord[1];
    } else if (sVerb == "set") {
        s.iVerb = kSet;
        if (n != 3 || !ParseInteger(asWord[2].c_str(), &s.llA)) return Fail(pError, "set NAME NUMBER");
        s.sText = asWord[1];
        if (pfnSetHook == nullptr) return Fail(pError, "this program has nothing to set");
    } else if (sVerb == "quit") {
        s.iVerb = kQuit;
        if (n > 2) return Fail(pError, "quit [CODE]");
        if (n == 2 && !ParseInteger(asWord[1].c_str(), &s.llA)) return Fail(pError, "bad exit code");
    } else {
        return Fail(pError, "unknown step");
    }
    asStep.push_back(s);
    return 1;
}

std::string Substitute(const std::string& sText, int iCount)
{
    std::string s = sText;
    std::string sNumber = std::to_string(iCount);
    for (size_t i = s.find("{n}"); i != std::string::npos; i = s.find("{n}", i + sNumber.size())) {
        s.replace(i, 3, sNumber);
    }
    return s;
}

}  // namespace

int AddScriptLine(const char* pText, int iLine, std::string* pError)
{
    std::vector<std::string> asWord;
    if (!SplitScriptLine(pText, &asWord, pError)) return 0;
    if (asWord.empty()) return 1;
    if (asWord[0] == "repeat") {
        long long ll = 0;
        if (iRepeatCount > 0) return Fail(pError, "repeat inside a repeat");
        if (asWord.size() != 2 || !ParseInteger(asWord[1].c_str(), &ll) || ll < 1 || ll > 1000000) {
            return Fail(pError, "repeat COUNT (1..1000000)");
        }
        iRepeatCount = static_cast<int>(ll);
        asRepeatBody.clear();
        return 1;
    }
    if (asWord[0] == "end") {
        if (iRepeatCount == 0) return Fail(pError, "end without repeat");
        if (asWord.size() != 1) return Fail(pError, "end takes nothing");
        int nCount = iRepeatCount;
        iRepeatCount = 0;
        std::vector<std::pair<int, std::string>> asBody;
        asBody.swap(asRepeatBody);
        for (int i = 1; i <= nCount; ++i) {
            for (const auto& line : asBody) {
                std::string sLine = Substitute(line.second, i);
                std::vector<std::string> asStepWords;
                if (!SplitScriptLine(sLine.c_str(), &asStepWords, pError)
                    || (!asStepWords.empty() && !ParseStep(sLine.c_str(), line.first, asStepWords, pError))) {
                    *pError += " (line " + std::to_string(line.first) + ", in the repeat)";
                    return 0;
                }
            }
        }
        return 1;
    }
    if (iRepeatCount > 0) {
        asRepeatBody.push_back(std::make_pair(iLine, std::string(pText)));
        return 1;
    }
    return ParseStep(pText, iLine, asWord, pError);
}

int FinishScript(std::string* pError)
{
    if (iRepeatCount > 0) return Fail(pError, "repeat without end");
    return 1;
}

int LoadScriptFile(const char* pPath, std::string* pError)
{
    std::string sText;
    if (!ReadWholeFile(pPath, &sText)) {
        *pError = std::string(pPath) + ": cannot read the script file";
        return 0;
    }
    size_t iStart = 0;
    int iLine = 0;
    while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        if (iEnd == std::string::npos) iEnd = sText.size();
        std::string sLine = sText.substr(iStart, iEnd - iStart);
        ++iLine;
        std::string sReason;
        if (!AddScriptLine(sLine.c_str(), iLine, &sReason)) {
            *pError = std::string(pPath) + ":" + std::to_string(iLine) + ": " + sReason;
            return 0;
        }
        iStart = iEnd + 1;
    }
    return 1;
}

int ScriptStepCount()
{
    return static_cast<int>(asStep.size());
}

void SetScriptHook(ScriptSetHook pfnHook)
{
    pfnSetHook = pfnHook;
}

void SetDriverWindow(HWND hWnd)
{
    hDriver = hWnd;
}

HWND DriverWindow()
{
    return hDriver;
}

namespace {


struct LineWanted {
    int iMessage;           // 0: any line
    const std::string* psPart;
    int iFound;
    int iChecked;           // lines before this one have been looked at
};

int LineMatches(const std::string& sLine, const LineWanted& w)
{
    if (w.iMessage != 0) {
        char acHead[24];
        std::snprintf(acHead, sizeof acHead, " <- %d ", w.iMessage);
        if (sLine.find(acHead) == std::string::npos) return 0;
    }
    return sLine.find(*w.psPart) != std::string::npos;
}

int FindLine(void* pArg)
{
    LineWanted* pWant = static_cast<LineWanted*>(pArg);
    // Each line is looked at once per wait: a wait through thousands of
    // exchanges must not rescan them all after every message.
    int i = pWant->iChecked > iSearchFrom ? pWant->iChecked : iSearchFrom;
    for (; i < RecordCount(); ++i) {
        if (LineMatches(RecordAt(i), *pWant)) {
            pWant->iFound = i;
            pWant->iChecked = i;
            return 1;
        }
    }
    pWant->iChecked = i;
    return 0;
}

int DriverAttached(void*)
{
    return hDriver != nullptr && IsWindow(hDriver);
}

int DriverFound(void*)
{
    HWND h = FindWindowA(kDriverWindowClass, nullptr);
    if (h != nullptr) hDriver = h;
    return h != nullptr;
}

int DriverGone(void*)
{
    return hDriver == nullptr || !IsWindow(hDriver);
}

// The driver's window for a send: the one learned, else one found by class.
HWND Target()
{
    if (hDriver == nullptr || !IsWindow(hDriver)) DriverFound(nullptr);
    return hDriver;
}

LPARAM ArgValue(HWND hOwn, long long ll, int iKind)
{
    if (iKind == kArgSelf) return reinterpret_cast<LPARAM>(hOwn);
    if (iKind == kArgDriver) return reinterpret_cast<LPARAM>(hDriver);
    return static_cast<LPARAM>(ll);
}

int StepFailed(const ScriptStep& s, const char* pWhy)
{
    char ac[64];
    std::snprintf(ac, sizeof ac, "script line %d: ", s.iLine);
    RecordLine("!!", std::string(ac) + s.sSource + ": " + pWhy);
    return kExitScriptFailed;
}

}  // namespace


int RunScript(HWND hOwn)
{
    if (asStep.empty()) return -1;
    KeepRecord(1);
    DWORD dwLast = GetTickCount();
    for (size_t k = 0; k < asStep.size(); ++k) {
        const ScriptStep& s = asStep[k];
        int iPump = kPumpDone;
        switch (s.iVerb) {
        case kWaitAttach:
            iPump = PumpMessages(static_cast<DWORD>(s.lMs), DriverAttached, nullptr);
            if (iPump == kPumpTimeUp) return StepFailed(s, "the driver did not attach in time");
            break;
        case kFindDriver:
            iPump = PumpMessages(static_cast<DWORD>(s.lMs), DriverFound, nullptr);
            if (iPump == kPumpTimeUp) return StepFailed(s, "no window of class \"Q7CMBINE\" in time");
            break;
        case kWaitClosed:
            iPump = PumpMessages(static_cast<DWORD>(s.lMs), DriverGone, nullptr);
            if (iPump == kPumpTimeUp) return StepFailed(s, "the driver's window is still there");
            break;
        case kSend: {
            HWND hDest = Target();
            if (hDest == nullptr) return StepFailed(s, "no driver window known");
            char acReply[kTextBlockSize + 1] = {};
            int iResult = SendCopyText(hOwn, hDest, s.iMessage, static_cast<int>(s.llA), s.sText.c_str(), acReply,
                                       kTextBlockSize);
            acReply[kTextBlockSize] = '\0';
            RecordText("->", s.iMessage, static_cast<int>(s.llA & 0xFFFF), s.sText.c_str(), acReply, iResult);
            break;
        }
        case kNumber: {
            HWND hDest = Target();
            if (hDest == nullptr) return StepFailed(s, "no driver window known");
            int iResult = SendCopyNumber(hOwn, hDest, s.iMessage, static_cast<int>(s.llA),
                                         static_cast<unsigned long>(s.llB));
            RecordNumber("->", s.iMessage, static_cast<int>(s.llA & 0xFFFF), static_cast<unsigned long>(s.llB),
                         iResult);
            break;
        }
        case kPlain:
        case kPost: {
            HWND hDest = Target();
            if (hDest == nullptr) return StepFailed(s, "no driver window known");
            WPARAM w = static_cast<WPARAM>(ArgValue(hOwn, s.llA, s.iArgA));
            LPARAM l = ArgValue(hOwn, s.llB, s.iArgB);
            if (s.iVerb == kPost) {
                PostMessageA(hDest, static_cast<UINT>(s.iMessage), w, l);
                RecordPlain("->", s.iMessage, w, l, 0);
                break;
            }
            DWORD_PTR dwResult = 0;
            // A generous limit, so that a driver that hangs cannot hold the
            // script for ever; the driver's own nested sends get through.
            if (!SendMessageTimeoutA(hDest, static_cast<UINT>(s.iMessage), w, l, SMTO_NORMAL, 60000, &dwResult)) {
                return StepFailed(s, "the driver did not answer");
            }
            RecordPlain("->", s.iMessage, w, l, static_cast<LRESULT>(dwResult));
            break;
        }
        case kSleep:
            iPump = PumpMessages(static_cast<DWORD>(s.lMs), nullptr, nullptr);
            break;
        case kStall:
            // A hung peer: takes no message at all for that long.
            Sleep(static_cast<DWORD>(s.lMs));
            break;
        case kExpect:
        case kExpectLine: {
            LineWanted w = {s.iVerb == kExpect ? s.iMessage : 0, &s.sText, -1, 0};
            iPump = PumpMessages(static_cast<DWORD>(s.lMs), FindLine, &w);
            if (iPump == kPumpTimeUp) return StepFailed(s, "not seen in time");
            if (iPump == kPumpDone) iSearchFrom = w.iFound + 1;
            break;
        }
        case kExpectNone: {
            LineWanted w = {s.iMessage, &s.sText, -1, 0};
            iPump = PumpMessages(static_cast<DWORD>(s.lMs), FindLine, &w);
            if (iPump == kPumpDone) return StepFailed(s, ("seen: " + RecordAt(w.iFound)).c_str());
            break;
        }
        case kClear:
            iSearchFrom = RecordCount();
            break;
        case kMark:
            RecordLine("==", s.sText);
            break;
        case kElapsed: {
            DWORD dwNow = GetTickCount();
            RecordLine("==", s.sText + " elapsed=" + std::to_string(dwNow - dwLast) + " ms");
            dwLast = dwNow;
            break;
        }
        case kDebug:
            OutputDebugStringA(s.sText.c_str());
            break;
        case kSet:
            if (!pfnSetHook(s.sText.c_str(), s.llA)) return StepFailed(s, "unknown name");
            break;
        case kQuit:
            return static_cast<int>(s.llA);
        }
        if (iPump == kPumpQuit) return 0;
    }
    return -1;
}
