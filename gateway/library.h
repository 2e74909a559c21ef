// Calls into libvexon from the gateway's threads, each returning the status
// words of that call. The one place that knows how the library hands a
// thread its own status.
#pragma once

#include <mutex>

extern "C" {
#include <vexon.h>
}

namespace gateway {

struct CallStatus {
  int sta = 0;
  int err = 0;
  long cntl = 0;
};

// The library's status words are shared by all threads, so a call and the
// reading of its status are one step under this lock.
std::mutex& LibraryLock();

// Runs `call` (a lambda calling one driver function) and returns its status.
template <class F>
CallStatus LibraryCall(F&& call) {
  std::lock_guard<std::mutex> hold(LibraryLock());
  call();
  return CallStatus{Ibsta(), Iberr(), static_cast<long>(Ibcnt())};
}

// ibstop for a call in progress on another thread: it must not wait for the
// call it ends, so it takes no lock and its status is not read.
void StopCall(int ud);

}  // namespace gateway
