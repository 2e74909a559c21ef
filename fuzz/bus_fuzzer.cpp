// Fuzz target: bus files through the driver's reader. Every input must end
// as a bus or as a BusFileError (the message the driver prints); anything
// else thrown, a crash or a leak is a finding.
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "../vexon/router/bus_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mkdir(VEXON_FUZZ_DIR, 0700);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > vexon::kMaxBusFileSize) return -1;
  const std::string text(reinterpret_cast<const char*>(data), size);
  vexon::BusConfig bus;
  try {
    // Files named by `filename` are looked up beside it, in a scratch folder.
    vexon::ReadBusFile(text, VEXON_FUZZ_DIR "/bus.yaml", bus);
  } catch (const vexon::BusFileError& e) {
    if (e.what.empty()) __builtin_trap();  // every error says what is wrong
  }
  return 0;
}
