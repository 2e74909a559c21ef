// The program's copies of the driver's status words.
#include "driver/status_copies.h"

int32_t ibsta = 0;
int32_t iberr = 0;
int32_t ibcnt = 0;
int32_t ibcntl = 0;
