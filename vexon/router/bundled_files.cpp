// pyvisa-sim bundles one definition file, default.yaml; the copy installed
// with the examples is built in here unedited, so no path needs finding.
#include "bundled_files.h"

namespace vexon {

namespace {

struct Bundled {
  const char* name;
  const char* text;
};

constexpr Bundled kBundled[] = {
    {"default.yaml",
#include "bundled_default.inc"
    },
};

}  // namespace

const char* BundledFile(const std::string& name) {
  for (const Bundled& b : kBundled)
    if (name == b.name) return b.text;
  return nullptr;
}

std::string BundledFileNames() {
  std::string list;
  for (const Bundled& b : kBundled) list += (list.empty() ? "" : ", ") + std::string(b.name);
  return list;
}

}  // namespace vexon
