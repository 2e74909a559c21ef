// Calls into libvexon from the gateway's threads.
#include "library.h"

namespace gateway {

void StopCall(int ud) { ibstop(ud); }

}  // namespace gateway
