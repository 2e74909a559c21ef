// The timeout codes (TNONE to T1000s) as lengths of time, for every back end.
#pragma once
#include <cstdint>

namespace vexon {

// No limit: the length of TNONE.
constexpr int64_t kNoTimeLimit = INT64_MAX;
// A timeout code in nanoseconds; a code out of range counts as T10s.
int64_t TimeoutNs(int code);
// The same in whole milliseconds, at least 1; -1 for TNONE.
int TimeoutMs(int code);

}  // namespace vexon
