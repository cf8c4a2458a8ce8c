#include "config/filecodec.h"
void EncodeIndex(const int*, unsigned char*) {}
void DecodeIndex(const unsigned char*, size_t, int*) {}
void EncodeLocks(const int*, unsigned char*) {}
void DecodeLocks(const unsigned char*, size_t, int*) {}
