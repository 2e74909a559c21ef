// Loading the bus description: from the file the environment or the usual
// places name, else the built-in bus.
#pragma once
#include <string>

#include "bus_config.h"

namespace vexon {

// Where the bus comes from: the file (empty for the built-in bus) and why
// that one.
struct BusSource {
  std::string path;
  std::string why;
};
BusSource FindBusSource();

// Reads the bus file at path into bus. False with the message the driver
// prints (without "vexon: " and the line end) and the system error code
// (0 when the file was read but is not a valid bus file).
bool LoadBusFile(const std::string& path, BusConfig& bus, std::string& message, int& error);

// Fills bus from the bus file in use, or the built-in bus. False after the
// failure is reported: the message on stderr, ERR with EDVR and ibcntl the
// system error code or 0.
bool LoadBus(BusConfig& bus);

}  // namespace vexon
