#include "core/strtok.h"
#include <cstring>
Ckelm_strtok::Ckelm_strtok() { Clear(); }
void Ckelm_strtok::Clear() { std::memset(m_aacField, 0, sizeof m_aacField); }
void Ckelm_strtok::Split(const char*, char) {}
void Ckelm_strtok::Field(int, char* pDest) const { pDest[0] = '\0'; }
