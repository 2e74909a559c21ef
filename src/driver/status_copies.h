// The program's copies of the driver's status words.
#pragma once
#include <cstdint>

// Written by the entry stubs after every driver call and by the loader on a
// load failure; read by everyone who reports an outcome.
extern int32_t ibsta;
extern int32_t iberr;
extern int32_t ibcnt;
extern int32_t ibcntl;
