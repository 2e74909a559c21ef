// vorel-gateway's command line.
#pragma once

#include <string>
#include <vector>

#include "allow_list.h"

namespace gateway {

struct Options {
  std::string bus;                 // --bus FILE: VOREL_BUS for the library
  std::string listen = "127.0.0.1";
  std::vector<Network> allow;      // empty: the loopback network
  unsigned long maxRecv = 1024;
  bool verbose = false;
  bool help = false;
};

extern const char* const kUsage;

// Reads the arguments; false with a message naming the bad one.
bool ParseOptions(int argc, char** argv, Options* options, std::string* problem);

}  // namespace gateway
