// Package names that the stand-in RVX answers to name requests.
#pragma once
#include <string>

// Reads a names file: lines "src NUMBER NAME" or "dst NUMBER NAME" (also
// "0"/"1" for the database), "#" comments, blank lines. The name is the rest
// of the line after the blanks that follow the number. Returns 0 with
// "FILE:LINE: reason".
int LoadNamesFile(const char* pPath, std::string* pError);
// The name of package iIndex of database iDatabase (0 sources, 1
// destinations): from the names file, else "SRC 0001", "DST 0001" or
// "DB2 0001".
std::string PackageName(int iDatabase, int iIndex);
