// What the site tools share: the configuration directory found as the
// driver finds it (without ever writing c:\kelm_config.ini), the device's
// files, the profile read through the platform's profile functions, whole
// files read and replaced, and the running driver's window.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "sitetools/check/profile_check.h"
#include "sitetools/check/text.h"

// The exit codes of both site tools.
enum ToolExit {
    kExitClean = 0,      // nothing to report, or done
    kExitWarnings = 1,   // warnings (zurcheck), differences (zurdb diff)
    kExitErrors = 2,     // errors, a file that cannot be read or written, refused
    kExitUsage = 3,      // bad arguments
};

// "--version": the one version of this build, as the driver shows it.
bool IsVersionRequest(const char* pArg);
void PrintVersion(const char* pTool);

// A device number 1..999 written as decimal digits only (leading zeros
// allowed), as the driver takes it from its command line.
bool ParseDeviceNumber(const char* pText, int* piDevice);

struct ConfigDirectory {
    std::string sDir;       // empty when it cannot be used
    std::string sFrom;      // where it came from, for the reader
    bool bWouldRecord;      // the driver would write it into c:\kelm_config.ini
};

// The driver's lookup: CC_ROOT\CC_SYSTEM\config\system, else [Config]
// ConfigPath of c:\kelm_config.ini, else the Windows directory.
ConfigDirectory FindConfigDirectory();

// "<dir>\DEV_nnn.<ext>", or empty when it does not fit the driver's
// MAX_PATH buffer.
std::string DeviceFilePath(const std::string& sDir, int iDevice, const char* pExtension);

// The profile functions on one file, reading only.
ProfileSource ProfileFileSource(const std::string& sPath);

// The profile of the device as the driver would load it (findings
// discarded); false when the file does not exist.
bool LoadSiteProfile(const std::string& sPath, int iDevice, SiteProfile* pProfile);

enum FileRead { kFileRead, kFileMissing, kFileUnreadable };
FileRead ReadWholeFile(const std::string& sPath, std::vector<unsigned char>* pacData);
bool ReadTextFile(const std::string& sPath, std::string* psText);

struct FileImage {
    std::string sPath;
    std::vector<unsigned char> acData;
};
// Writes each file beside its place ("<name>.new"), flushed, and only when
// all are written renames them over the old ones. False with a reason when
// anything failed; a failure before the renames leaves every old file.
bool ReplaceFiles(const std::vector<FileImage>& aFiles, std::string* psError);

// A top-level window of class "Q7CMBINE" whose title ends with
// "- Device N", or that has no title yet (a driver starting). Its title, or
// empty when there is none.
bool FindDriverWindow(int iDevice, std::string* psTitle);

// The system's text for an error code, without the line end.
std::string SystemErrorText(DWORD dwError);

// The last part of a path.
std::string BaseName(const std::string& sPath);
