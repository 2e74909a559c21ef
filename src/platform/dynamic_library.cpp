// Dynamic library loading on Linux, with the error codes the driver's users know.
#include "platform/dynamic_library.h"
#include "platform/installation.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr int kLoadFailed = 126;
constexpr int kSymbolNotFound = 127;

int lastErrorCode = 0;

// A driver stays mapped after it is freed: its thread-local status words
// would otherwise leave dangling entries in every thread's TLS table, and a
// library loaded again (after the banner asked it what it is) gets them back.
void* Load(const char* file) {
  void* library = dlopen(file, RTLD_NOW | RTLD_NODELETE);
  if (library == nullptr) lastErrorCode = kLoadFailed;
  return library;
}

// dlopen searches the usual places for a plain name and takes a path as it is.
// A sanitizer runtime that intercepts dlopen becomes the caller, and the
// executable's RUNPATH is then not searched: look there explicitly afterwards.
void* LoadByName(const char* fileName) {
  if (void* library = Load(fileName)) return library;
  if (std::strchr(fileName, '/') != nullptr) return nullptr;
  // The directory our RUNPATH names: lib/vorel beside the executable's bin/.
  const std::string directory = ExecutableDirectory();
  if (directory.empty()) return nullptr;
  return Load((directory + "/../lib/vorel/" + fileName).c_str());
}
void* LoadByPath(const char* path) { return Load(path); }

void* FindSymbol(void* library, const char* name) {
  dlerror();
  void* address = dlsym(library, name);
  if (address == nullptr) lastErrorCode = kSymbolNotFound;
  return address;
}

void FreeLibrary(void* library) { dlclose(library); }

int LastError() { return lastErrorCode; }

bool SystemDirectory(char* buffer, int size) {
  const char* directory = VOREL_SYSTEM_DIR;
  size_t length = std::strlen(directory);
  if (size <= 0 || length + 1 > static_cast<size_t>(size)) return false;
  std::memcpy(buffer, directory, length + 1);
  return true;
}

void AtExit(void (*routine)()) { std::atexit(routine); }

const LoaderPlatform kPlatform = {
    LoadByName, LoadByPath, FindSymbol, FreeLibrary, LastError, SystemDirectory, AtExit,
};
}  // namespace

const LoaderPlatform& DynamicLibraryPlatform() { return kPlatform; }

std::string LibraryFileOf(const void* address) {
  Dl_info info{};
  if (!address || dladdr(address, &info) == 0 || !info.dli_fname) return "";
  char canonical[PATH_MAX];
  return realpath(info.dli_fname, canonical) ? canonical : info.dli_fname;
}
