// Service requests: the interrupt channel a client opens for its connection,
// and one watcher per board that tells every link with SRQ enabled when the
// board's SRQ line goes true.
#pragma once

#include <cstdint>

#include "connection.h"

namespace gateway {

// Connects to the client's interrupt server; returns a socket or -1 with
// errno. The fuzzer replaces it with one that connects nowhere.
extern int (*ConnectInterruptChannel)(uint32_t hostAddr, uint16_t port);

// Closes the connection's interrupt channel, if any; true when it had one.
bool CloseInterruptChannel(Connection& connection);

// Stops the board watchers (at exit).
void StopSrqWatchers();

}  // namespace gateway
