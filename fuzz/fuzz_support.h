// Helpers shared by the fuzz targets: a property check that stops the run
// with a message, and inputs copied into heap blocks of their exact size so
// that AddressSanitizer reports a read one byte past them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#define FUZZ_CHECK(bCondition)                                                              \
    do {                                                                                    \
        if (!(bCondition)) {                                                                \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #bCondition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// The bytes with a terminator after them, in a block of nSize + 1 bytes. An
// embedded NUL simply ends the text earlier.
inline std::unique_ptr<char[]> HeapText(const uint8_t* pData, size_t nSize)
{
    std::unique_ptr<char[]> p(new char[nSize + 1]);
    if (nSize > 0) std::memcpy(p.get(), pData, nSize);
    p[nSize] = '\0';
    return p;
}

inline std::unique_ptr<char[]> HeapText(const std::string& s)
{
    return HeapText(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Length of a text that must end within nRoom bytes of p; fails otherwise.
inline size_t BoundedLength(const char* p, size_t nRoom)
{
    const void* pEnd = std::memchr(p, '\0', nRoom);
    FUZZ_CHECK(pEnd != nullptr);
    return static_cast<size_t>(static_cast<const char*>(pEnd) - p);
}
