// vorel-gateway's command line.
#include "options.h"

#include <cstdlib>
#include <cstring>

namespace gateway {

const char* const kUsage =
    "usage: vorel-gateway [--bus FILE] [--listen ADDRESS] [--allow NETWORK ...]\n"
    "                     [--max-recv BYTES] [--verbose]\n"
    "Serves the boards of the GPIB bus to VXI-11 clients (VISA libraries, PyVISA,\n"
    "lxi-tools) as a LAN/GPIB gateway does; rpcbind must be running.\n"
    "  --bus FILE          the bus file (else as the driver finds it: VOREL_BUS, ...)\n"
    "  --listen ADDRESS    the IPv4 address to listen on (default 127.0.0.1)\n"
    "  --allow NETWORK     networks whose clients may connect, as A.B.C.D/BITS\n"
    "                      (default 127.0.0.0/8); may be given more than once\n"
    "  --max-recv BYTES    the largest write a client may send in one call\n"
    "                      (default 1024)\n"
    "  --verbose           a log line for every call\n";

namespace {

constexpr unsigned long kMaxRecvLimit = 16UL << 20;

bool ParseSize(const char* text, unsigned long* value) {
  char* end = nullptr;
  errno = 0;
  unsigned long v = std::strtoul(text, &end, 10);
  if (!*text || *end || errno || text[0] == '-') return false;
  *value = v;
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* problem) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    size_t equals = arg.find('=');
    bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    bool takesValue = arg == "--bus" || arg == "--listen" || arg == "--allow" || arg == "--max-recv";
    if (takesValue && !inlineValue) {
      if (i + 1 >= argc) {
        *problem = arg + ": missing its value";
        return false;
      }
      value = argv[++i];
    } else if (!takesValue && inlineValue) {
      *problem = arg + " takes no value";
      return false;
    }
    if (arg == "--bus") {
      options->bus = value;
    } else if (arg == "--listen") {
      options->listen = value;
    } else if (arg == "--allow") {
      // --allow A B C: the networks up to the next option.
      while (true) {
        Network network;
        if (!ParseNetwork(value, &network)) {
          *problem = "--allow " + value + ": not a network (A.B.C.D or A.B.C.D/BITS)";
          return false;
        }
        options->allow.push_back(network);
        if (i + 1 >= argc || std::strncmp(argv[i + 1], "--", 2) == 0) break;
        value = argv[++i];
      }
    } else if (arg == "--max-recv") {
      if (!ParseSize(value.c_str(), &options->maxRecv) || options->maxRecv < 1024 ||
          options->maxRecv > kMaxRecvLimit) {
        *problem = "--max-recv " + value + ": give a number of bytes from 1024 to " + std::to_string(kMaxRecvLimit);
        return false;
      }
    } else if (arg == "--verbose") {
      options->verbose = true;
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else {
      *problem = arg + ": unknown option";
      return false;
    }
  }
  return true;
}

}  // namespace gateway
