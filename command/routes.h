// The route and lock commands ("RF", "RL", "RP", "RQ"), the "RR"
// revertives, and the refresh request 2177.
#pragma once
#include <cstdint>

void SendRevertives(int iFirst, int iLast, int iMode, int iValue);
int CommandRF(char* pText);
int CommandRL(char* pText);
int CommandRP(char* pText);
int CommandRQ(char* pText);
void OnRevertiveRequest(intptr_t p1, intptr_t p2);   // message 2177

// 2174: a package name has changed (database 0 sources, 1 destinations,
// 2 both). The refresh request later looks at the package of the last
// change of a source name (none when the last change was none).
void NoteNameChange(int iPackage, int iDatabase);
