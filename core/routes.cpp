#include "core/routes.h"
int aiIndex[kPackageMax + 1];
int abLock[kPackageMax + 1];
int iLastChanged = 0;
long lRevertivesSent = 0;
void SendRevertives(int, int, int, int) {}
int CommandRF(char*) { return 0; }
int CommandRL(char*) { return 0; }
int CommandRP(char*) { return 1; }
int CommandRQ(char*) { return 1; }
void OnRevertiveRequest(intptr_t, intptr_t) {}
