// The driver loader: chooses the primary or the legacy driver library on first
// use, remembers where the status words come from, and resolves entry points.
#include "driver/library_loader.h"

#include <cstring>

#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "platform/dynamic_library.h"

int libraryMode = 0;

namespace {
constexpr const char* kPrimaryLibrary = "libvexon.so";
constexpr const char* kLegacyFile = "/libdrovin-32.so";
constexpr int kPathSize = 260;

const LoaderPlatform* platform = nullptr;
void* library = nullptr;
bool unloadRegistered = false;

// Mode 2: functions Ibsta, Iberr, Ibcnt. Mode 1: variables user_ibsta,
// user_iberr, user_ibcntl.
void* statusSources[3] = {};
constexpr const char* kPrimarySources[3] = {"Ibsta", "Iberr", "Ibcnt"};
constexpr const char* kLegacySources[3] = {"user_ibsta", "user_iberr", "user_ibcntl"};

const LoaderPlatform& Platform() { return platform ? *platform : DynamicLibraryPlatform(); }

void* SetLoadFailureStatus() {
  ibsta = ERR;
  iberr = EDVR;
  ibcnt = ibcntl = Platform().lastError();
  return nullptr;
}

void Unload() {
  if (library != nullptr) Platform().freeLibrary(library);
  library = nullptr;
}

// Looks up the three status sources; false when any is missing.
bool FindStatusSources(const char* const (&names)[3]) {
  bool all = true;
  for (int i = 0; i < 3; ++i) {
    statusSources[i] = Platform().findSymbol(library, names[i]);
    if (statusSources[i] == nullptr) all = false;
  }
  return all;
}

// Loads one of the two libraries with its status sources; false leaves none held.
bool LoadLibrary() {
  const LoaderPlatform& p = Platform();
  bool sourcesFound = false;
  if (void* primary = p.loadByName(kPrimaryLibrary)) {
    libraryMode = 2;
    library = primary;
    sourcesFound = FindStatusSources(kPrimarySources);
  } else {
    char path[kPathSize];
    if (!p.systemDirectory(path, kPathSize)) return false;
    size_t used = std::strlen(path);
    size_t room = kPathSize - 1 - used;
    std::strncat(path, kLegacyFile, room);
    libraryMode = 1;
    library = p.loadByPath(path);
    if (library != nullptr) sourcesFound = FindStatusSources(kLegacySources);
  }
  if (!sourcesFound) {
    Unload();
    return false;
  }
  return true;
}
}  // namespace

void* LoadDriverEntry(const char* name) {
  if (library == nullptr) {
    if (!LoadLibrary()) return SetLoadFailureStatus();
    if (!unloadRegistered) {
      Platform().atExit(Unload);
      unloadRegistered = true;
    }
  }
  void* entry = Platform().findSymbol(library, name);
  return entry != nullptr ? entry : SetLoadFailureStatus();
}

void* FindLoadedEntry(const char* name) {
  return library != nullptr ? Platform().findSymbol(library, name) : nullptr;
}

DriverDescription DescribeDriver() {
  DriverDescription d;
  const bool held = library != nullptr;
  if (!held && !LoadLibrary()) {
    d.file = std::string(kPrimaryLibrary) + ", " + (kLegacyFile + 1);
    libraryMode = 0;
    return d;
  }
  d.found = true;
  d.file = LibraryFileOf(statusSources[0]);
  using VersionQuery = const char* (*)();
  using BusQuery = int (*)(char*, int);
  if (auto version = reinterpret_cast<VersionQuery>(Platform().findSymbol(library, "VexonVersion"))) {
    const char* text = version();
    d.version = text ? text : "";
  }
  if (auto bus = reinterpret_cast<BusQuery>(Platform().findSymbol(library, "VexonBusFile"))) {
    char path[4096];
    d.knowsBus = bus(path, sizeof path) >= 0;
    if (d.knowsBus) d.busFile = path;
  }
  if (!held) {
    // The first driver call loads it again, as if it had never been asked.
    Unload();
    libraryMode = 0;
    for (void*& source : statusSources) source = nullptr;
  }
  return d;
}

void RefreshStatusCopies() {
  if (library == nullptr) return;
  if (libraryMode == 2) {
    ibsta = reinterpret_cast<int (*)()>(statusSources[0])();
    iberr = reinterpret_cast<int (*)()>(statusSources[1])();
    ibcnt = ibcntl = reinterpret_cast<int (*)()>(statusSources[2])();
  } else {
    ibsta = *static_cast<const int*>(statusSources[0]);
    iberr = *static_cast<const int*>(statusSources[1]);
    ibcnt = ibcntl = *static_cast<const int*>(statusSources[2]);
  }
}

void SetLoaderPlatform(const LoaderPlatform* replacement) { platform = replacement; }

void ResetDriverLoader() {
  library = nullptr;
  unloadRegistered = false;
  libraryMode = 0;
  for (void*& source : statusSources) source = nullptr;
}
