#include "core/tokenizer.h"
int ConvertNumber(const char*) { return 0; }
int TokenizeCommand(char*, int, char**, int*) { return 0; }
