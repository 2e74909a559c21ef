// The simulated driver's C API and a helper the tests share.
#pragma once
#include "../../vexon/router/driver_api.h"

// Devices keep their state for the life of the process; tests that depend on
// it start from a cleared bus: interface clear, then device clear for all.
inline void freshBus() {
  SendIFC(0);
  DevClear(0, NOADDR);
}
