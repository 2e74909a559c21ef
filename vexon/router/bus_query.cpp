// What a program may ask the library about itself: its version and the bus
// file it reads, so that a console can say which bus it drives.
#include <cstring>

#include "bus_loader.h"

#define VEXON_API extern "C" __attribute__((visibility("default")))

VEXON_API const char* VexonVersion(void) { return VEXON_VERSION; }

VEXON_API int VexonBusFile(char* path, int size) {
  try {
    const std::string file = vexon::FindBusSource().path;
    if (!path || size <= 0 || file.size() >= static_cast<size_t>(size)) return -1;
    std::memcpy(path, file.c_str(), file.size() + 1);
    return static_cast<int>(file.size());
  } catch (...) {
    return -1;
  }
}
