// Text helpers the site tools share (platform-free), and the capped list of
// errors that the site tools and the stand-in InfoDriver print.
#pragma once
#include <string>
#include <vector>

// s without the blanks (pBlanks) at its start and end.
std::string Trimmed(const std::string& s, const char* pBlanks = " \t");

// s and blanks up to nWidth characters; a longer s as it is.
std::string Padded(const std::string& s, size_t nWidth);

// Digits (with an optional sign and blanks around them) that make up the
// whole field, so that nothing after the number is ignored.
bool IsWholeNumber(const std::string& sField);

// The first 20 errors on the standard error, each after "TOOL: ", then
// "and N more", then the count and what follows from it: a reader sees the
// start of a long list, never a screen of it.
void PrintErrors(const char* pTool, const std::vector<std::string>& asError, const char* pOutcome);
