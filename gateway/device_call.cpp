// What every core call on a link does around its library calls.
#include "device_call.h"

#include "protocol.h"

namespace gateway {

namespace {

// Timeout codes T10us..T1000s and their length in microseconds.
struct TimeoutLength {
  int code;
  unsigned long long us;
};
constexpr TimeoutLength kTimeouts[] = {
    {T10us, 10},         {T30us, 30},         {T100us, 100},        {T300us, 300},
    {T1ms, 1000},        {T3ms, 3000},        {T10ms, 10000},       {T30ms, 30000},
    {T100ms, 100000},    {T300ms, 300000},    {T1s, 1000000},       {T3s, 3000000},
    {T10s, 10000000},    {T30s, 30000000},    {T100s, 100000000},   {T300s, 300000000},
    {T1000s, 1000000000},
};

void SetOption(Link& link, int* last, int option, int value) {
  if (link.ownsHandle && *last == value) return;
  LibraryCall([&] { ibconfig(link.ud, option, value); });
  *last = value;
}

}  // namespace

DeviceCall::DeviceCall(Link& link, long flags, unsigned long lockTimeout) {
  link.aborted = false;
  error = WaitUnlocked(link, flags, lockTimeout);
  if (error == kNoError) order = std::unique_lock<std::mutex>(link.device->order);
}

int TimeoutCode(unsigned long ms) {
  unsigned long long us = static_cast<unsigned long long>(ms) * 1000;
  for (const TimeoutLength& t : kTimeouts)
    if (t.us >= us) return t.code;
  return TNONE;
}

void SetTimeout(Link& link, unsigned long ioTimeout) {
  SetOption(link, &link.timeoutCode, IbcTMO, TimeoutCode(ioTimeout));
}

void SetEos(Link& link, int eos) { SetOption(link, &link.eos, IbcEOS, eos); }

void SetEot(Link& link, int eot) { SetOption(link, &link.eot, IbcEOT, eot); }

long ErrorOf(const CallStatus& status, const Link& link) {
  if (!(status.sta & ERR)) return (status.sta & TIMO) ? kIoTimeout : kNoError;
  if (status.err == EABO && link.aborted) return kAbort;
  if (status.sta & TIMO) return kIoTimeout;
  switch (status.err) {
    case ECAP: return kNotSupported;
    case ELCK: return kLockedByAnother;
    case EARG: return kParameterError;
    default: return kIoError;
  }
}

}  // namespace gateway
