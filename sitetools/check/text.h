// Text helpers the site tools share (platform-free).
#pragma once
#include <string>

// s without the blanks (pBlanks) at its start and end.
std::string Trimmed(const std::string& s, const char* pBlanks = " \t");

// s and blanks up to nWidth characters; a longer s as it is.
std::string Padded(const std::string& s, size_t nWidth);

// Digits (with an optional sign and blanks around them) that make up the
// whole field, so that nothing after the number is ignored.
bool IsWholeNumber(const std::string& sField);
