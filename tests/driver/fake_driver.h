// An in-process fake GPIB driver behind a fake LoaderPlatform: it records the
// last call with its arguments and reports the status words the test sets.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "driver/entry_stubs.h"
#include "driver/library_loader.h"
#include "driver/status_copies.h"

namespace fake {
struct Call {
  std::string name;
  std::vector<intptr_t> args;
};

struct Driver {
  bool primaryPresent = false;
  bool legacyPresent = false;
  std::set<std::string> missing;  // symbols the fake library does not export
  int sta = 0, err = 0, cnt = 0;  // status words the driver reports
  int result = 0;                 // returned by every int function
  Call last;
  int calls = 0;
  int loadsByName = 0, loadsByPath = 0, frees = 0, atExits = 0;
  std::vector<std::string> lookups;
  std::string lastPath;
  std::string systemDirectory = "/fake/system";  // empty: the look-up fails
  void (*exitRoutine)() = nullptr;
  int lastError = 0;
};

inline Driver driver;
inline char primaryToken, legacyToken;

template <typename T>
intptr_t AsInt(T value) {
  return (intptr_t)(value);
}

template <stub::Id id, typename Signature>
struct Function;
template <stub::Id id, typename R, typename... A>
struct Function<id, R(A...)> {
  static R Call(A... args) {
    driver.last = {stub::functionNames[id], {AsInt(args)...}};
    ++driver.calls;
    if constexpr (!std::is_void_v<R>) return driver.result;
  }
};

inline int Ibsta() { return driver.sta; }
inline int Iberr() { return driver.err; }
inline int Ibcnt() { return driver.cnt; }

inline void* FunctionAddress(const char* name) {
#define VOREL_FAKE_ENTRY(fn, ret, params) \
  if (std::strcmp(name, #fn) == 0) return (void*)&Function<stub::id_##fn, ret params>::Call;
  VOREL_DRIVER_FUNCTIONS(VOREL_FAKE_ENTRY)
#undef VOREL_FAKE_ENTRY
  return nullptr;
}

inline void* FindSymbol(void* library, const char* name) {
  driver.lookups.push_back(name);
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
    if (address == nullptr) address = FunctionAddress(name);
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
