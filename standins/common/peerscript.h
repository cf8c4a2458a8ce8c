// The script of a stand-in peer: line by line, read and checked in full
// before the program starts, then run on the main thread after the window
// exists. Every wait dispatches messages, so the peer keeps answering while
// its script waits or sends.
//
// One step per line, "#" starts a comment; texts in double quotes (escapes
// \" \\ \n \t \xNN). LIMIT is a time limit in seconds (or with a unit:
// 500ms, 2s); MS is a time in milliseconds (or with a unit). Numbers are
// decimal or 0x hexadecimal. WPARAM and LPARAM may also be "self" (this
// program's window) or "driver" (the driver's window).
//
//   wait-attach [LIMIT]           until the driver has announced itself (default 10 s)
//   find-driver [LIMIT]           until a window of class "Q7CMBINE" exists; it becomes the driver
//   send MSG "TEXT" [VALUE]       text request to the driver; the reply and result are recorded
//   number MSG NUMBER [VALUE]     numeric request to the driver
//   plain MSG WPARAM LPARAM       plain message sent to the driver; its result is recorded
//   post MSG WPARAM LPARAM        plain message posted to the driver
//   sleep MS                      keeps answering for that long
//   expect MSG ["PART"] [LIMIT]   until a received MSG whose line contains PART is recorded (5 s)
//   expect-line "PART" [LIMIT]    until any recorded line contains PART (5 s)
//   expect-none MSG ["PART"] [MS] no such received line for that long (default 1000 ms)
//   clear                         later expects look only at lines recorded from now on
//   mark "TEXT"                   records "== TEXT"
//   set NAME NUMBER               changes an answer of the program (see its --help)
//   wait-closed [LIMIT]           until the driver's window has gone (default 10 s)
//   quit [CODE]                   ends the program with that exit code (default 0)
//
// An expect searches the lines recorded after the line that the previous
// expect matched (or after the last clear), so lines that arrived early are
// found too. A wait that runs out of time records "!!" and ends the program
// with exit code 3.
#pragma once
#include <windows.h>

#include <string>

const int kExitScriptFailed = 3;

// Adds one script line (iLine counts for messages). Returns 0 with a reason.
int AddScriptLine(const char* pText, int iLine, std::string* pError);
// Adds every line of a file. Returns 0 with "FILE:LINE: reason".
int LoadScriptFile(const char* pPath, std::string* pError);
int ScriptStepCount();

// The program's handler for "set NAME NUMBER": returns 0 for an unknown name.
typedef int (*ScriptSetHook)(const char* pName, long long llValue);
void SetScriptHook(ScriptSetHook pfnHook);

// The driver's window as the program learned it (attach, connect, register).
void SetDriverWindow(HWND hWnd);
HWND DriverWindow();

// Runs the whole script. Returns -1 when it ended without "quit" (the
// program goes on answering), else the exit code.
int RunScript(HWND hOwn);
