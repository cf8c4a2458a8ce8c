// A driver site for the fault campaigns: a private directory tree with the
// configuration directory and the control libraries, the stand-in RVX, the
// three stand-in InfoDrivers and zur.exe 201, all started and ended through
// the test support. Campaigns change the site and its processes at will.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/site.h"
#include "tests/support/support.h"

// The site of the end-to-end tests, with this program's window for text
// requests and the driver's window once it is found.
struct Site : DriverSite {
    HWND hDriver = nullptr;
    HWND hPeer = nullptr;   // this program's window for text requests
};

// The directory tree, the two control libraries and this program's window.
// False on failure. RemoveSite (of the test support) ends it all.
bool CreateSite(Site* pSite);

// The campaigns' device profile (WriteSiteProfile of the test support):
// [Database] with sDatabase, [Combiner] with the three InfoDrivers 301..303,
// DebugMode 0, SaveDelay 1 and no filter, then sMore.
inline bool WriteCampaignProfile(Site* pSite, const std::string& sDatabase, const std::string& sMore = "")
{
    return WriteSiteProfile(pSite, sDatabase, 0, "ExternalDLL=NONE\n", sMore, 1);
}
std::string SiteFile(const Site* pSite, const char* pExt);   // DEV_201.<ext>

// rvxsim with a fresh log (sRvxLog) and the extra arguments.
bool StartRvx(Site* pSite, const std::string& sMore = "");
// infosim 301 + i, loaded with the slot file text sSlots when not empty, with
// the extra arguments sMore (a log, a delay, script steps).
bool StartInfoDriver(Site* pSite, int i, const std::string& sSlots = "", const std::string& sMore = "");
// "--log FILE" for infosim 301 + i, with a fresh file kept in asInfoLog[i].
std::string InfoDriverLog(Site* pSite, int i);
// zur.exe with the site's environment; does not wait.
bool StartDriver(Site* pSite, const std::string& sArgs = "201");
// Waits for the driver's titled window, then until start-up is complete
// (a "RP" sent at once is answered only from the message loop). False when
// the driver did not come up within dwMs.
bool WaitDriverServing(Site* pSite, DWORD dwMs);

// Text request from this program's window to the driver.
int SendToDriver(Site* pSite, int iMessage, const std::string& sText);
// Sends "RP 201 d d W" and waits for its revertive; returns the routed
// source of d, or -1 when no revertive came within dwMs.
int PollRoute(Site* pSite, int iDest, int iWorkstation, DWORD dwMs);

// Reads and presses every "! Error !" box of the driver until it ends;
// false when it did not end within the time.
bool BoxesUntilExit(Site* pSite, std::vector<std::string>* pasBox, DWORD* pdwExit);
// Asks the driver to close (2175) and waits for its exit; false when it did
// not end, or ended with a code other than 0.
bool CloseDriver(Site* pSite, DWORD* pdwExit = nullptr);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& sPath, std::string* psData);
// Every file and directory under sDir, as relative paths with sizes, sorted.
std::vector<std::string> ListTree(const std::string& sDir);

// Pseudo-random numbers for the campaigns, seeded from the command line so a
// run can be repeated.
void SeedRandom(unsigned long ulSeed);
unsigned long RandomNumber();
int RandomBelow(int n);
