// What every core call on a link does around its library calls: wait for
// the device's lock, serve the device's calls in order, set the handle's
// timeout, and turn the library's status into a VXI-11 error.
#pragma once

#include <mutex>

#include "library.h"
#include "links.h"

namespace gateway {

// Holds `link`'s device for one call; `error` is 0 when the call may go on.
struct DeviceCall {
  DeviceCall(Link& link, long flags, unsigned long lockTimeout);
  long error;
  std::unique_lock<std::mutex> order;
};

// The smallest timeout code at least `ms` long (TNONE beyond 1000 s).
int TimeoutCode(unsigned long ms);

// Sets the handle's timeout, EOS and EOT when they differ from the last
// call's; a board handle, shared by interface links, is always set.
void SetTimeout(Link& link, unsigned long ioTimeout);
void SetEos(Link& link, int eos);
void SetEot(Link& link, int eot);

// The VXI-11 error of a library call's status.
long ErrorOf(const CallStatus& status, const Link& link);

}  // namespace gateway
