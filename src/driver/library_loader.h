// Finds and loads the GPIB driver library on first use and resolves entry points.
#pragma once
#include <string>

#include "platform/dynamic_library.h"

// 0 before any load, 1 legacy library, 2 primary library. Written by the loader.
extern int libraryMode;

// Returns the entry point, or null after setting the load failure status.
void* LoadDriverEntry(const char* name);

// The entry point of the library already loaded, or null; sets no status.
void* FindLoadedEntry(const char* name);

// Reads the status words from the bound library into the status copies.
void RefreshStatusCopies();

// What the banner says of the driver library the first call will load.
struct DriverDescription {
  bool found = false;
  std::string file;     // its path; when not found, what was looked for
  std::string version;  // libvexon's version, else empty
  bool knowsBus = false;  // libvexon: busFile is the bus file it reads
  std::string busFile;    // empty: the built-in bus
};
// Loads the library as the first call would, asks it, and lets it go.
DriverDescription DescribeDriver();

// Tests: run the loader on another platform (null restores the real one) and
// start again with no library held.
void SetLoaderPlatform(const LoaderPlatform* platform);
void ResetDriverLoader();
