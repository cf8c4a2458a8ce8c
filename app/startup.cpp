#include "app/startup.h"

#include <cstdio>

#include "app/driver.h"
#include "app/panel.h"
#include "config/files.h"
#include "config/journal_file.h"
#include "config/profile.h"
#include "core/messages.h"
#include "ipc/infolink.h"
#include "ipc/rvx.h"
#include "res/version.h"

namespace {

void ShowMissingSize(const char* pKey, const char* pWhat)
{
    char acMessage[256];
    std::snprintf(acMessage, sizeof acMessage,
                  "A device profile INI File 'DEV_%03d.INI' does not exist in the Windows directory "
                  "or the '%s' parameter (%s) in it has not been set.",
                  Profile().iDevice, pKey, pWhat);
    ErrorBox(acMessage);
}

// The journal's first line of this run: which driver, which profile.
void JournalStart()
{
    char acProfile[MAX_PATH];
    if (!DeviceFileName(acProfile, sizeof acProfile, "INI")) acProfile[0] = '\0';
    JournalEvent("start", JournalStartText(ZUR_VERSION, Profile().iDevice, acProfile, Profile().DatabaseSize_0,
                                           Profile().DatabaseSize_1));
}

}  // namespace

// The start-up sequence. It stops before its next request as soon as
// shut-down has begun or a close request has come, so a driver that is
// going to end never attaches, registers or links its InfoDrivers on the way
// out.
void RunStartup()
{
    InitDriver();
    if (StartupStopped()) return;

    // The keys the profile lacks are written back only by the driver that
    // RVX accepts for the device (another may be starting at the same time).
    HoldProfileWrites();
    if (!ReportProfileLoad(LoadDeviceProfile()) || StartupStopped()) return;
    JournalStart();

    LoadExternalLibrary();

    if (!ReportAttach(AttachToRvx()) || StartupStopped()) return;

    LoadIndexFile();
    LoadLockFile();
    CreateMainDialog();
    if (StartupStopped()) return;

    if (!ReportRegistration(RegisterDevice())) return;
    WriteHeldProfileKeys();
    ShowDriverState();
    if (StartupStopped()) return;

    if (!ReportInfoLinks(ConnectInfoDrivers(StartupStopped)) || StartupStopped()) return;

    if (Rvx().iTxRx == kTxRx) BringInfoDriversToState(kTxRx);
}

bool ReportProfileLoad(int iMissing)
{
    if (iMissing == kProfileComplete) return true;
    if (iMissing & kSourcesMissing) ShowMissingSize("DatabaseSize_0", "sources");
    if (iMissing & kDestinationsMissing) ShowMissingSize("DatabaseSize_1", "destinations");
    ShutdownDriver("a database size missing from the profile");
    return false;
}

bool ReportAttach(int bAttached)
{
    if (bAttached) return true;
    ErrorBox("Cannot find KELM Interface Q7RVX.EXE");
    ShutdownDriver("RVX not found");
    return false;
}

// The operator must never see the driver just disappear: every refusal has
// its box.
bool ReportRegistration(int iResult)
{
    char acOther[64];
    const char* pText = acOther;
    switch (iResult) {
    case kRegistered:
        JournalEvent("registration", JournalRegistrationText(kRegistered, nullptr));
        return true;
    case kRegisterInvalidId:
        pText = "The supplied driver Id is invalid";
        break;
    case kRegisterRefusedId:
        pText = "Request refused - ID supplied is invalid";
        break;
    case kRegisterIdTaken:
        pText = "Request refused - A driver has already registered this Id";
        break;
    case kRegisterNotDriverMode:
        pText = "Request refused - RVX has not been enabled in Driver Mode";
        break;
    case kRegisterNoAnswer:
        pText = "Request refused - RVX did not answer the registration";
        break;
    default:
        std::snprintf(acOther, sizeof acOther, "Request refused - RVX answered %d", iResult);
        break;
    }
    JournalEvent("registration", JournalRegistrationText(iResult, pText));
    ErrorBox(pText);
    ShutdownDriver("registration refused");
    return false;
}

bool ReportInfoLinks(int iFailedLink)
{
    if (iFailedLink == kAllLinked) return true;
    const char* pWhat = "Source Package";
    int iInfoDevice = Profile().SrcePkgInfoId;
    if (iFailedLink == kDestLink) {
        pWhat = "Destination Package";
        iInfoDevice = Profile().DestPkgInfoId;
    } else if (iFailedLink == kLevelMapLink) {
        pWhat = "destination level mapping";
        iInfoDevice = Profile().LevelMapInfoId;
    }
    char acText[256];
    std::snprintf(acText, sizeof acText,
                  "Unable to connect to %s InfoDriver %d.  Ensure that the InfoDriver you are trying to connect "
                  "to is actually running then restart this application.",
                  pWhat, iInfoDevice);
    ErrorBox(acText);
    ShutdownDriver("an InfoDriver not running");
    return false;
}
