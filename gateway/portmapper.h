// The gateway's entry with the portmapper (rpcbind), through which clients
// find the core channel's port.
#pragma once

#include <cstdint>
#include <string>

namespace gateway {

// Registers the core program at `port`; false with a message for the user
// when there is no portmapper or another server holds the entry.
bool RegisterCore(uint16_t port, std::string* problem);
void UnregisterCore();

}  // namespace gateway
