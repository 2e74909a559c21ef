// The simulated driver's C API, declared from the driver interface's own list.
#pragma once
#include "driver/gpib.h"

extern "C" {
#define DECLARE(name, ret, params) ret name params;
VOREL_DRIVER_FUNCTIONS(DECLARE)
#undef DECLARE
int Ibsta(void);
int Iberr(void);
int Ibcnt(void);
}

// Devices keep their state for the life of the process; tests that depend on
// it start from a cleared bus: interface clear, then device clear for all.
inline void freshBus() {
  SendIFC(0);
  DevClear(0, NOADDR);
}
