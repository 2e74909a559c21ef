// Finds and loads the GPIB driver library on first use and resolves entry points.
#pragma once

// The platform operations the loader runs on; tests substitute a fake.
struct LoaderPlatform {
  void* (*loadByName)(const char* fileName);  // platform search order
  void* (*loadByPath)(const char* path);
  void* (*findSymbol)(void* library, const char* name);
  void (*freeLibrary)(void* library);
  int (*lastError)();
  bool (*systemDirectory)(char* buffer, int size);
  void (*atExit)(void (*routine)());
};

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
