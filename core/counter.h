// The panel's counters (platform-free): signed figures that wrap round past
// their largest value instead of overflowing.
#pragma once

// lCount plus one; the largest long is followed by the smallest.
inline long CountOne(long lCount)
{
    return static_cast<long>(static_cast<unsigned long>(lCount) + 1u);
}
