// Route index, lock flags and "RR" revertives.
#pragma once
#include <cstdint>
#include "core/limits.h"

extern int aiIndex[kPackageMax + 1];
extern int abLock[kPackageMax + 1];
extern int iLastChanged;

void SendRevertives(int iFirst, int iLast, int iMode, int iValue);
int CommandRF(char* pText);
int CommandRL(char* pText);
int CommandRP(char* pText);
int CommandRQ(char* pText);
void OnRevertiveRequest(intptr_t p1, intptr_t p2);   // message 2177
