// Calls into libvexon from the gateway's threads, each returning the status
// words of that call: the calling thread's own (ThreadIbsta() and friends),
// so connections call the library at the same time.
#pragma once

extern "C" {
#include <vexon.h>
}

namespace gateway {

struct CallStatus {
  int sta = 0;
  int err = 0;
  long cntl = 0;
};

// Runs `call` (a lambda calling one driver function) and returns its status.
template <class F>
CallStatus LibraryCall(F&& call) {
  call();
  return CallStatus{ThreadIbsta(), ThreadIberr(), ThreadIbcntl()};
}

// ibstop for a call in progress on another thread; its status is not read.
void StopCall(int ud);

}  // namespace gateway
