#include "ipc/netstatus.h"
void ParseNetworkStatus(char*, NetStatus* pStatus) { *pStatus = NetStatus(); }
int FormatNetworkAnswer(char* pOut, size_t, const NetStatus*, int, int) { pOut[0] = '\0'; return 0; }
