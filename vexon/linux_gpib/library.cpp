// Loading libgpib.so.0 at run time: the library is no build dependency, and a
// bus without a linux-gpib board never loads it.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>

#include <vexon.h>
#include "../router/status.h"
#include "libgpib.h"

namespace vexon::linux_gpib {

namespace {

constexpr char kLibraryName[] = "libgpib.so.0";
// The codes a driver's users know for a library that is missing and for an
// entry point that is.
constexpr int kNotLoaded = 126, kNoEntryPoint = 127;

std::mutex loadMutex;
std::atomic<const Libgpib*> loaded{nullptr};

template <class F>
void Bind(void* library, F& slot, const char* symbol) {
  slot = reinterpret_cast<F>(dlsym(library, symbol));
}

// Every entry point at once; false when a status function is missing.
bool BindAll(void* library, Libgpib& lib, const char*& missing) {
#define LIBGPIB_BIND(name, symbol, ...) Bind(library, lib.name, symbol);
  LIBGPIB_HANDLE_CALLS(LIBGPIB_BIND)
  LIBGPIB_ROUTINES(LIBGPIB_BIND)
  LIBGPIB_OTHER_CALLS(LIBGPIB_BIND)
  LIBGPIB_STATUS(LIBGPIB_BIND)
#undef LIBGPIB_BIND
#define LIBGPIB_REQUIRE(name, symbol, ...) \
  if (!lib.name) {                         \
    missing = symbol;                      \
    return false;                          \
  }
  LIBGPIB_STATUS(LIBGPIB_REQUIRE)
#undef LIBGPIB_REQUIRE
  return true;
}

}  // namespace

const Libgpib* LoadedLibgpib() { return loaded.load(std::memory_order_acquire); }

const Libgpib* LoadLibgpib(int board) {
  if (const Libgpib* lib = loaded.load(std::memory_order_acquire)) return lib;
  std::lock_guard l(loadMutex);
  if (const Libgpib* lib = loaded.load(std::memory_order_acquire)) return lib;
  // libgpib prints messages of its own on stderr; the status words say it all.
  setenv("IB_NO_ERROR", "1", 0);
  void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    ReportProblem("gpib" + std::to_string(board) + ": linux-gpib: " + (why ? why : kLibraryName));
    Fail(0, EDVR, kNotLoaded);
    return nullptr;
  }
  Libgpib lib;
  const char* missing = nullptr;
  if (!BindAll(library, lib, missing)) {
    ReportProblem("gpib" + std::to_string(board) + ": linux-gpib: " + kLibraryName + " has no " +
                  missing);
    dlclose(library);
    Fail(0, EDVR, kNoEntryPoint);
    return nullptr;
  }
  // Kept, as the library is, for as long as the driver stays loaded.
  static Libgpib bound;
  bound = lib;
  loaded.store(&bound, std::memory_order_release);
  return &bound;
}

}  // namespace vexon::linux_gpib
