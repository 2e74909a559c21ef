// Program-wide mode flags, 0 at start. Written by Execute (expertMode also
// by the option -e); read by the parser, the allocators and the reports.
#pragma once
#include <cstdint>

extern int32_t expertMode;
extern int32_t rawMode;
extern int32_t slopCheck;
extern int32_t oddBuffers;
