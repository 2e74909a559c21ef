// The files pyvisa-sim bundles, built into the library, for a resource's
// `bundled: true`.
#pragma once
#include <string>

namespace vexon {

// The text of the bundled file `name`, or nullptr when pyvisa-sim bundles no
// file of that name.
const char* BundledFile(const std::string& name);

// The names of the bundled files, for messages.
std::string BundledFileNames();

}  // namespace vexon
