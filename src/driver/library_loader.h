// Finds and loads the GPIB driver library on first use and resolves entry points.
#pragma once
#include "platform/dynamic_library.h"

// 0 before any load, 1 legacy library, 2 primary library. Written by the loader.
extern int libraryMode;

// Returns the entry point, or null after setting the load failure status.
void* LoadDriverEntry(const char* name);

// Reads the status words from the bound library into the status copies.
void RefreshStatusCopies();

// Tests: run the loader on another platform (null restores the real one) and
// start again with no library held.
void SetLoaderPlatform(const LoaderPlatform* platform);
void ResetDriverLoader();
