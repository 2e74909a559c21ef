// The loader's platform operations on Linux: dlopen, dlsym, dlclose, atexit.
#pragma once
#include <string>

// The operations that load a driver library and find its entry points; tests
// substitute a fake.
struct LoaderPlatform {
  void* (*loadByName)(const char* fileName);  // platform search order
  void* (*loadByPath)(const char* path);
  void* (*findSymbol)(void* library, const char* name);
  void (*freeLibrary)(void* library);
  int (*lastError)();
  bool (*systemDirectory)(char* buffer, int size);
  void (*atExit)(void (*routine)());
};

// The real platform the driver loader runs on.
const LoaderPlatform& DynamicLibraryPlatform();

// The file of the loaded library that holds address, as a canonical path;
// empty when it cannot be told.
std::string LibraryFileOf(const void* address);
