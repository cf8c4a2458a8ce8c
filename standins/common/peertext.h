// Text helpers of the stand-in peers (platform-free): quoting texts for the
// traffic record, splitting script lines, durations and numbered text files.
#pragma once
#include <string>
#include <vector>

// Appends pText (up to its terminator, at most nMax bytes) to *pOut in double
// quotes. Printable characters stand as they are; a double quote and a
// backslash get a backslash in front; any other byte is written as \xNN.
void QuoteText(const char* pText, size_t nMax, std::string* pOut);

// Splits a script line into words: blanks separate words, a word in double
// quotes may hold blanks and the escapes \" \\ \n \t \xNN. A "#" outside
// quotes starts a comment. Returns 1, or 0 with a reason in *pError.
int SplitScriptLine(const char* pLine, std::vector<std::string>* pasWords, std::string* pError);

// An integer in decimal or with a 0x prefix in hexadecimal, optionally
// negative; the whole text must be the number. Returns 1 on success.
int ParseInteger(const char* pText, long long* pllValue);

// A duration: a number (a fraction is allowed) with an optional unit "ms" or
// "s"; a bare number counts in iBareUnitMs milliseconds. Returns 1 on success.
int ParseDuration(const char* pText, long lBareUnitMs, long* plMs);

// A line of a numbered text file ("NUMBER TEXT", "#" comment lines, blank
// lines). Returns 1 with the number and the text (after the blanks that
// follow the number; trailing CR and LF removed), 0 for a blank or comment
// line, -1 when the line does not start with a number.
int ParseNumberedLine(const char* pLine, long* plNumber, std::string* psText);
