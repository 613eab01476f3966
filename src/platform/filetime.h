// FILETIME, the clock of Windows file times and of the package directory:
// 100-nanosecond ticks since 1601-01-01 UTC.
#pragma once
#include <cstdint>

const uint64_t kFileTimeTicksPerSecond = 10000000;
// 1970-01-01 00:00 UTC, the start of unix time, as a FILETIME.
const uint64_t kFileTimeUnixEpoch = 116444736000000000ull;
