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

// After a serial poll on `board`, which may have ended its request: the
// watcher waits for the next rise at once, so a request raised right after
// the poll is not missed.
void SrqPolled(int board);

// Stops the board watchers (at exit).
void StopSrqWatchers();

}  // namespace gateway
