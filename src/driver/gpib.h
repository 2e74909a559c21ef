// The GPIB driver library's ABI as vorel calls it: the driver's own header
// (function types, status bits, error codes, option numbers). Any library
// that exports these names serves.
#pragma once
#include <vexon.h>

// Every entry point the program binds, as X(name, return type, parameter list).
// The 488.2 routines return void, the board and device functions int.
#define VOREL_DRIVER_FUNCTIONS(X) VEXON_FUNCTIONS(X)
