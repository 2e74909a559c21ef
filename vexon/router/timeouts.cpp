// The one table of timeout codes.
#include "timeouts.h"

#include <vexon.h>

namespace vexon {

namespace {

struct Timeout {
  int code;
  int64_t ns;
};
// Every timeout code, TNONE to T1000s.
constexpr Timeout kTimeouts[] = {
    {TNONE, kNoTimeLimit},        {T10us, 10'000},
    {T30us, 30'000},              {T100us, 100'000},
    {T300us, 300'000},            {T1ms, 1'000'000},
    {T3ms, 3'000'000},            {T10ms, 10'000'000},
    {T30ms, 30'000'000},          {T100ms, 100'000'000},
    {T300ms, 300'000'000},        {T1s, 1'000'000'000},
    {T3s, 3'000'000'000},         {T10s, 10'000'000'000},
    {T30s, 30'000'000'000},       {T100s, 100'000'000'000},
    {T300s, 300'000'000'000},     {T1000s, 1'000'000'000'000},
};
static_assert(sizeof kTimeouts / sizeof kTimeouts[0] == T1000s + 1, "one entry per timeout code");

}  // namespace

int64_t TimeoutNs(int code) {
  for (const Timeout& t : kTimeouts)
    if (t.code == code) return t.ns;
  return TimeoutNs(T10s);
}

int TimeoutMs(int code) {
  const int64_t ns = TimeoutNs(code);
  if (ns == kNoTimeLimit) return -1;
  return ns < 1'000'000 ? 1 : static_cast<int>(ns / 1'000'000);
}

}  // namespace vexon
