// Storage of the mode flags.
#include "core/mode_flags.h"

int32_t expertMode = 0;
int32_t rawMode = 0;
int32_t slopCheck = 0;
int32_t oddBuffers = 0;
