// The loader's platform operations on Linux: dlopen, dlsym, dlclose, atexit.
#pragma once
#include "driver/library_loader.h"

// The real platform the driver loader runs on.
const LoaderPlatform& DynamicLibraryPlatform();
