// A fake LoaderPlatform for the loader's algorithm: libraries that are present
// or not, symbols that are exported or not, and the status words a test sets.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "driver/entry_stubs.h"
#include "driver/library_loader.h"
#include "driver/status_copies.h"

namespace fake {
struct Driver {
  bool primaryPresent = false;
  bool legacyPresent = false;
  std::set<std::string> missing;  // symbols the fake library does not export
  int sta = 0, err = 0, cnt = 0;  // status words the driver reports
  int loadsByName = 0, loadsByPath = 0, frees = 0, atExits = 0;
  std::string lastPath;
  std::string systemDirectory = "/fake/system";  // empty: the look-up fails
  void (*exitRoutine)() = nullptr;
  int lastError = 0;
};

inline Driver driver;
inline char primaryToken, legacyToken;

inline int Ibsta() { return driver.sta; }
inline int Iberr() { return driver.err; }
inline int Ibcnt() { return driver.cnt; }

// Every driver function of the library: its address does not matter here.
inline char functionToken;

inline void* FindSymbol(void* library, const char* name) {
  void* address = nullptr;
  std::string n = name;
  if (!driver.missing.count(n)) {
    if (library == &primaryToken) {
      if (n == "Ibsta") address = (void*)&Ibsta;
      if (n == "Iberr") address = (void*)&Iberr;
      if (n == "Ibcnt") address = (void*)&Ibcnt;
    } else {
      if (n == "user_ibsta") address = &driver.sta;
      if (n == "user_iberr") address = &driver.err;
      if (n == "user_ibcntl") address = &driver.cnt;
    }
    if (address == nullptr) address = &functionToken;
  }
  if (address == nullptr) driver.lastError = 127;
  return address;
}

inline void* LoadByName(const char* fileName) {
  ++driver.loadsByName;
  if (driver.primaryPresent && std::strcmp(fileName, "libvexon.so") == 0) return &primaryToken;
  driver.lastError = 126;
  return nullptr;
}

inline void* LoadByPath(const char* path) {
  ++driver.loadsByPath;
  driver.lastPath = path;
  if (driver.legacyPresent && driver.lastPath == "/fake/system/libdrovin-32.so") return &legacyToken;
  driver.lastError = 126;
  return nullptr;
}

inline void FreeLibrary(void*) { ++driver.frees; }
inline int LastError() { return driver.lastError; }
inline bool SystemDirectory(char* buffer, int size) {
  if (driver.systemDirectory.empty()) return false;
  std::snprintf(buffer, size, "%s", driver.systemDirectory.c_str());
  return true;
}
inline void AtExit(void (*routine)()) {
  ++driver.atExits;
  driver.exitRoutine = routine;
}

inline const LoaderPlatform platform = {LoadByName, LoadByPath, FindSymbol, FreeLibrary,
                                        LastError,  SystemDirectory, AtExit};

// Starts a test with the fake platform, no library held and fresh status copies.
inline void Install() {
  driver = Driver{};
  SetLoaderPlatform(&platform);
  ResetDriverLoader();
  ResetEntryStubs();
  ibsta = iberr = ibcnt = ibcntl = 0;
}

inline void Uninstall() {
  ResetDriverLoader();
  ResetEntryStubs();
  SetLoaderPlatform(nullptr);
}
}  // namespace fake
