// The driver's C API, for code that calls the library directly (its tests,
// the fuzzer): the installed header itself.
#pragma once
#include <vexon.h>
