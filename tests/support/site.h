// A driver site for end-to-end tests: a configuration tree in a temporary
// folder (the two control libraries in its library directory, a device
// profile), the stand-in RVX and InfoDrivers with their traffic records,
// and zur.exe started on it. Everything started here is ended by handle
// and every file made here is removed by RemoveSite.
#pragma once
#include "tests/host/tree.h"
#include "tests/support/support.h"

#include <string>
#include <vector>

struct DriverSite {
    std::string sRoot;     // CC_ROOT
    std::string sConfig;   // <root>\sys\config\system: profile, index and lock files
    std::string sLib;      // <root>\sys\windows\lib: BWCC32.DLL, KELM_CC.DLL
    std::string sRvxLog;
    std::string asInfoLog[3];
    std::vector<std::string> asTemp;   // logs and slot files to delete
    StartedProcess driver = {nullptr, 0};
    StartedProcess rvx = {nullptr, 0};
    StartedProcess info[3] = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
};

// The title of zur.exe 201's main window.
extern const char kDriverTitle201[];

// Creates the folders and copies the control libraries (false on failure).
bool CreateSite(DriverSite* pSite);
// Ends every process of the site, removes its logs and its folders.
void RemoveSite(DriverSite* pSite);

bool FileExists(const std::string& sPath);
// The bytes of a file; empty when it cannot be read.
std::string ReadBinaryFile(const std::string& sPath);

// DEV_201.INI: [Database] with the lines sDatabase; [Combiner] with the
// InfoDrivers 301, 302 and 303, DebugMode, SaveDelay (5 minutes unless
// given) and the lines sCombiner (ExternalDLL=NONE unless given); then sMore
// as it stands (further sections: [Levels], [Masks]).
bool WriteSiteProfile(DriverSite* pSite, const std::string& sDatabase, int iDebugMode = 0,
                      const std::string& sCombiner = "ExternalDLL=NONE\n", const std::string& sMore = "",
                      long lSaveDelay = 5);
// A file of the configuration directory ("DEV_201.DAT").
std::string SiteFile(const DriverSite* pSite, const char* pName);

// rvxsim with a log file; false when its window did not appear.
bool StartSiteRvx(DriverSite* pSite, const std::string& sMore = "");
// infosim 301 + i (i = 0, 1, 2) with a log file and, when sSlots is not
// empty, a slots file with that content; sMore: further options.
bool StartSiteInfoDriver(DriverSite* pSite, int i, const std::string& sSlots = "", const std::string& sMore = "");
// zur.exe with CC_ROOT/CC_SYSTEM on the site, and further environment.
bool StartSiteDriver(DriverSite* pSite, const std::string& sArgs = "201", const std::vector<std::string>& asEnv = {});
// The driver's main window once it has its title; null when it did not come.
HWND SiteDriverWindow(DriverSite* pSite);
// Registered with RVX (2184 for device 201 answered 0), in the RVX
// record from line iFrom on.
bool SiteRegistered(DriverSite* pSite, int iFrom = 0);
// Start-up is complete: the level map InfoDriver has been brought to TX/RX.
bool SiteStartedUp(DriverSite* pSite);
// Reads and presses every "! Error !" box of the driver until it ends.
// Records a failure text in *psFailure when it does not end.
std::vector<std::string> BoxesUntilExit(DriverSite* pSite, DWORD* pdwExit, std::string* psFailure = nullptr);
// Sends the close request 2175 and waits for the driver to end (exit code
// in *pdwExit); false when it did not end.
bool CloseSiteDriver(DriverSite* pSite, DWORD* pdwExit = nullptr);

// A message-only window of this process that speaks the request/reply
// transport, for sending texts to the driver as a peer would.
HWND CreateTextPeerWindow();

// The number of lines the log holds now: an index for "from here on".
int LineCount(const std::string& sLog);
// The text requests a stand-in received, from line iFrom on, whose message
// number is one of aiMessage, each as "MSG VALUE TEXT" with the text as it
// crossed the wire (the record's escapes undone).
std::vector<std::string> ReceivedTexts(const std::string& sLog, int iFrom, const std::vector<int>& aiMessage);
