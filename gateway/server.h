// The gateway's sockets: the core and abort listeners, the allow list, and
// a thread for each connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "allow_list.h"

namespace gateway {

struct Listeners {
  int core = -1;
  int abort = -1;
  uint16_t corePort = 0;
  uint16_t abortPort = 0;
};

// Opens both listeners on `address` at ports the system chooses; false with
// a message.
bool OpenListeners(const std::string& address, Listeners* listeners, std::string* problem);

// Accepts connections from `allowed` networks, each served on a thread of its
// own, until SIGINT or SIGTERM (blocked by the caller and read here); then
// ends every connection, their links closed, and returns.
void Serve(const Listeners& listeners, const std::vector<Network>& allowed);

}  // namespace gateway
