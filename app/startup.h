// The start-up sequence, and the boxes that tell the operator what stopped it.
#pragma once

// The start-up sequence (StartDriver runs it).
void RunStartup();

// Each shows the "! Error !" boxes of what went wrong in one step of the
// start-up, in order, then starts the shut-down; true when nothing did.
// All boxes of a step come before the shut-down, as its quit request would
// close a box still to come at once.
bool ReportProfileLoad(int iMissing);     // what LoadDeviceProfile found missing
bool ReportAttach(int bAttached);         // AttachToRvx's answer
bool ReportRegistration(int iResult);     // RegisterDevice's answer
bool ReportInfoLinks(int iFailedLink);    // ConnectInfoDrivers' answer
