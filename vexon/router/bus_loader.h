// Loading the bus description: from the file the environment or the usual
// places name, else the built-in bus.
#pragma once
#include <string>

#include "bus_config.h"

namespace vexon {

// Fills bus from the bus file in use. False after the failure is reported:
// one line on stderr, ERR with EDVR (ibcntl the system error code, or 0 for
// a file that is not a valid bus file).
bool LoadBus(BusConfig& bus);

}  // namespace vexon
