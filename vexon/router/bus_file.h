// The bus file: reading its text into the plain structs of bus_config.h.
#pragma once
#include <string>

#include "bus_config.h"
#include "bus_yaml.h"

namespace vexon {

// Bus files and the files their resources name are read up to this size.
constexpr size_t kMaxBusFileSize = 1 << 20;

// Reads the file at path (at most kMaxBusFileSize bytes, waiting at most a
// second for a pipe). False with the system error code and its text.
bool ReadTextFile(const std::string& path, std::string& text, int& error, std::string& reason);

// Reads the bus file text, found at path, into bus. Throws BusFileError.
void ReadBusFile(const std::string& text, const std::string& path, BusConfig& bus);

}  // namespace vexon
