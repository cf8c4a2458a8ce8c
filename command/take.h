// The package take ("RC").
#pragma once
#include <windows.h>

int CommandRC(char* pText);

// The library that ExternalDLL names (null: none). Its
// combinerOutputFilter, when it exports one, is offered every level command
// before it is sent.
void UseExternalLibrary(HMODULE hLibrary);
