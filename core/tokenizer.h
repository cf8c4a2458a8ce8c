// Router command tokenizer and number conversion (platform-free).
#pragma once

// Converts a numeric field the way the C library's atoi does: leading white
// space, an optional sign, then decimal digits up to the first other
// character; no digits gives 0. Values beyond the int range saturate instead
// of overflowing.
int ConvertNumber(const char* pText);

// The run of decimal digits at p: *pullValue gets its value, or ullCap when
// the value is larger (a long run saturates instead of overflowing). Returns
// the first character after the run, p itself when p holds no digit. The
// decimal numbers of commands, profiles, the command line and the site's
// text files are all read through it.
const char* ScanDecimal(const char* p, unsigned long long ullCap, unsigned long long* pullValue);

// 1 when the field is a number and nothing else: an optional sign, then one
// or more decimal digits. Empty fields, blanks and trailing text give 0.
int IsNumberField(const char* pField);

// Splits pText in place into at most iCount blank-separated fields, starting
// after the two command letters and their separator (index 3). A field in
// single quotes keeps its blanks and loses its quotes. Field i ends up as a
// NUL-terminated text at apField[i] with its number in aiValue[i].
// apField needs room for iCount + 1 pointers, aiValue for iCount values.
// Returns the number of fields found; the entries beyond it are not set.
int TokenizeCommand(char* pText, int iCount, char** apField, int* aiValue);
