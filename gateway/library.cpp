// Calls into libvexon from the gateway's threads.
#include "library.h"

namespace gateway {

std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}

void StopCall(int ud) { ibstop(ud); }

}  // namespace gateway
