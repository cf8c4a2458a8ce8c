// What the stand-in peers share: the traffic record, the delivery kind of a
// message handed on by the transport, their hidden top-level window and a
// message pump for waits.
#pragma once
#include <windows.h>

#include <string>

// Traffic record. Every line is "TAG DIR REST": TAG names the program
// ("RVX", "INFO201"), DIR is "<-" (received), "->" (sent), "==" (script
// mark), "**" (start and end) or "!!" (error). Lines go to stdout unless
// quiet, and to the log file when one is given, flushed line by line.
// Returns 0 when the log file cannot be created.
int OpenRecord(const char* pTag, int bQuiet, const char* pLogPath);
void CloseRecord();
// Keeps the lines of the listed message numbers ("2727,2731") off stdout;
// the log file and the script still see them. Returns 0 for a bad list.
int HideOnScreen(const char* pList);
void RecordLine(const char* pDir, const std::string& sRest);
// Lines are also kept in memory while a script may wait for them.
void KeepRecord(int bKeep);
int RecordCount();
const std::string& RecordAt(int i);
// 0 when nobody reads the record (quiet, no log, no script): the callers
// then skip formatting altogether.
int RecordWanted();

// "NUMBER MEANING wparam=W lparam=L result=R"
void RecordPlain(const char* pDir, int iMessage, WPARAM wParam, LPARAM lParam, LRESULT lResult);
// "NUMBER MEANING value=V text="..." [reply="..."] result=R": the reply is
// shown when it differs from the text.
void RecordText(const char* pDir, int iMessage, int iValue, const char* pText, const char* pReply,
                LRESULT lResult);
// "NUMBER MEANING value=V number=N result=R": a numeric request.
void RecordNumber(const char* pDir, int iMessage, int iValue, unsigned long ulNumber, LRESULT lResult);
// "2164 name request value=V device=D database=B index=I reply="..." result=R"
void RecordNameRequest(const char* pDir, int iValue, int iDevice, int iDatabase, int iIndex,
                       const char* pReply, LRESULT lResult);

// How the message now entering the window procedure came: plain, or handed
// on by the transport from a text or a numeric request.
enum { kDeliveryPlain = 0, kDeliveryText = 1, kDeliveryNumber = 2 };
// The WM_COPYDATA case of a peer's window procedure (returns 1).
LRESULT PeerCopyData(HWND hOwn, WPARAM wParam, LPARAM lParam);
// Called first by the handler of uMsg: the kind of this delivery.
int TakeDeliveryKind(UINT uMsg);

// The window procedure of a stand-in: the transport, closing, and the
// system's message numbers 2000..2999, handed to the program's own handlers:
// pfnText for a text request, pfnPlain for a plain or numeric message (with
// the kind of delivery). Everything else goes to the default procedure.
typedef LRESULT (*PeerTextHandler)(UINT uMsg, WPARAM wParam, LPARAM lParam);
typedef LRESULT (*PeerPlainHandler)(UINT uMsg, WPARAM wParam, LPARAM lParam, int iKind);
LRESULT PeerWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, PeerTextHandler pfnText,
                       PeerPlainHandler pfnPlain);

// The options every stand-in takes: --quiet, --hide LIST, --answer-delay MS,
// --attach-delay MS, --log FILE, --script FILE and -e STEP.
struct PeerOptions {
    const char* pLog;
    int bQuiet;
    int iAnswerDelay;   // ms before each text request is answered
    int iAttachDelay;   // ms, busy (taking no messages), before the broadcast is answered
    int iExtraLine;     // steps given with -e so far
};
enum { kOptionNone = 0, kOptionTaken, kOptionUsage, kOptionBadStep, kOptionBadFile };
// Reads the option at argv[*pi], moving *pi past its value. kOptionUsage,
// kOptionBadStep and kOptionBadFile come with the message in *psError: the
// program shows its usage (exit 1), or the message alone (exit 1 or 2).
int ParseCommonOption(int argc, char** argv, int* pi, PeerOptions* pOptions, std::string* psError);

// Answers a broadcast (2031, 2724) by sending uMessage with hOwn as wparam
// to the broadcaster, which handles it while its broadcast waits. A
// broadcaster that does not take it within 5 seconds (hung, or gone) does
// not hold this program: the result is then -1.
// With iDelayMs the program is busy that long first, taking no messages, as
// a peer that is doing something else when the broadcast comes.
LRESULT AnswerBroadcast(HWND hBroadcaster, UINT uMessage, HWND hOwn, int iDelayMs = 0);

// A hidden top-level window (top-level so that broadcasts reach it). Ctrl+C
// or closing the console closes it, so that the program ends in order.
HWND CreatePeerWindow(const char* pClass, const char* pTitle, WNDPROC pProc);

// Dispatches messages for dwMs milliseconds, or until pfnDone(pArg) returns
// non-zero when pfnDone is given (checked at once, after every posted
// message, whenever a record is added, and every 20 ms).
// Returns kPumpDone, kPumpTimeUp, or kPumpQuit when the quit request was
// taken (it is posted again for the main loop).
enum { kPumpQuit = 0, kPumpDone = 1, kPumpTimeUp = 2 };
int PumpMessages(DWORD dwMs, int (*pfnDone)(void*), void* pArg);

// Reads a whole text file into *psText. Returns 0 when it cannot be read.
int ReadWholeFile(const char* pPath, std::string* psText);
