#include "core/dispatch.h"
long lCommandsReceived = 0;
void OnCommandQueued(int) {}
void DispatchCommand(char*) {}
int IsSourceValid(int) { return 0; }
int IsDestValid(int) { return 0; }
int IsOurDevice(int) { return 0; }
int HasAccess(int) { return 0; }
