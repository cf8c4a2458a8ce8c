// Support for end-to-end tests under Wine: starting the programs of the
// build, waiting for their windows and their traffic records, reading and
// pressing their error boxes, and ending them. Every wait dispatches the
// calling thread's messages, so a test window keeps answering, and every
// wait has a time limit.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The directory of the running test program, with a trailing backslash: the
// programs under test (zur.exe, rvxsim.exe, infosim.exe) lie beside it.
std::string ExeDir();

// A file name in the system's temporary directory, unique in this run:
// "<temp>\<stem>-<pid>-<count>.<ext>". The file is not created.
std::string TempFile(const char* pStem, const char* pExt);

// Writes a text file (replacing it). Returns false on failure.
bool WriteTextFile(const std::string& sPath, const std::string& sText);

// A started process: end it with EndProcess.
struct StartedProcess {
    HANDLE hProcess;
    DWORD dwPid;
};

// Starts ExeDir() + pExe with the argument text sArgs. asEnv holds
// "NAME=VALUE" entries added to (or replacing in) this process's
// environment for the child only. The child's standard output and error go
// to sOutFile when given (created), else nowhere. Returns hProcess null on
// failure.
StartedProcess StartProgram(const char* pExe, const std::string& sArgs,
                            const std::vector<std::string>& asEnv = {}, const std::string& sOutFile = "");

// Dispatches this thread's messages for dwMs milliseconds.
void PumpFor(DWORD dwMs);

// Waits (dispatching) until a top-level window of that class (null: any)
// and title (null: any) exists, owned by process dwPid (0: any process).
// Returns it, or null when the time ran out.
HWND WaitForWindow(const char* pClass, const char* pTitle, DWORD dwPid, DWORD dwMs);

// Waits (dispatching) until the process has ended; false when it still
// runs. *pdwExit receives its exit code when given.
bool WaitForExit(HANDLE hProcess, DWORD dwMs, DWORD* pdwExit = nullptr);

// Ends a process by its handle (TerminateProcess when it still runs), waits
// for it and closes the handle. Safe with a null handle.
void EndProcess(StartedProcess* pProcess);

// The lines of a text file (LF or CRLF); empty when it cannot be read. The
// file may be open for writing by another process.
std::vector<std::string> ReadLines(const std::string& sPath);

// Waits (dispatching) until a line of the file at index iFrom or later
// contains every one of the given parts. Returns its index, or -1 when the
// time ran out. *psLine receives the line when given.
int WaitForLine(const std::string& sPath, const std::vector<std::string>& asParts, DWORD dwMs,
                int iFrom = 0, std::string* psLine = nullptr);

// Counts the lines of the file that contain every one of the parts.
int CountLines(const std::string& sPath, const std::vector<std::string>& asParts);

// The entries of a list box of another process, read in wide characters
// (the form in which the platform carries list texts between processes).
std::vector<std::string> ListEntries(HWND hList);

// Debug output of other processes (OutputDebugStringA), caught through the
// system's debug-output buffer ("DBWIN_BUFFER", which Wine implements as
// Windows does) by a thread of this process while a capture runs. One
// capture at a time per session: tests that use it run under the resource
// lock "wine_peers" (zur_process_test). Returns false when the buffer is
// held by another program.
bool StartDebugCapture();
void StopDebugCapture();
void ClearDebugLines();
// The texts caught so far from process dwPid (0: any process), in order,
// each without its trailing newline.
std::vector<std::string> DebugLines(DWORD dwPid);
// Waits (dispatching) until a text of process dwPid (0: any) at index iFrom
// or later of DebugLines(dwPid) contains every part. Returns its index, or
// -1 when the time ran out.
int WaitForDebugLine(DWORD dwPid, const std::vector<std::string>& asParts, DWORD dwMs, int iFrom = 0,
                     std::string* psLine = nullptr);

// The driver's error boxes: top-level dialogs titled "! Error !".
// Waits (dispatching) for one owned by process dwPid (0: any). Null when
// none appeared in time.
HWND WaitForErrorBox(DWORD dwPid, DWORD dwMs);
// The message text of a box (its static control 0xFFFF).
std::string ErrorBoxText(HWND hBox);
// Presses its OK button.
void PressErrorBoxOk(HWND hBox);
