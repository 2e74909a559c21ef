// The driver's C API, declared from the driver interface's own list,
// for code that calls the library directly (its tests, the fuzzer).
#pragma once
#include "../../src/driver/gpib.h"

extern "C" {
#define VOREL_DECLARE_ENTRY(name, ret, params) ret name params;
VOREL_DRIVER_FUNCTIONS(VOREL_DECLARE_ENTRY)
#undef VOREL_DECLARE_ENTRY
int Ibsta(void);
int Iberr(void);
int Ibcnt(void);
}
