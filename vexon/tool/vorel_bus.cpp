// vorel-bus: which bus file the driver reads and why, and the bus it
// describes; `vorel-bus FILE` checks that file. The driver's own loader
// reads it, so what this says is what the driver will do.
#include <cstdio>
#include <string>

#include "../router/backend.h"
#include "../router/bus_loader.h"

namespace {

std::string Address(int board, int pad, int sad) {
  std::string a = "gpib" + std::to_string(board) + " pad " + std::to_string(pad);
  if (sad) {
    char s[16];
    std::snprintf(s, sizeof s, " sad 0x%02x", sad);
    a += s;
  }
  return a;
}

std::string Resource(int board, int pad, int sad) {
  std::string r = "GPIB" + std::to_string(board) + "::" + std::to_string(pad);
  if (sad) r += "::" + std::to_string(sad - 0x60);
  return r + "::INSTR";
}

// The board's settings as its back end describes them.
std::string Settings(const vexon::BoardSettings& b) {
  const vexon::Backend* backend = vexon::FindBackend(b.backend.c_str());
  return backend ? backend->describeBoard(b) : "";
}

void Describe(const vexon::BusConfig& bus) {
  std::printf("boards:\n");
  for (const auto& b : bus.boards)
    std::printf("  gpib%-3d %-11s %s\n", b.index, b.backend.c_str(), Settings(b).c_str());
  std::printf("names:\n");
  for (const auto& n : bus.names) {
    char eos[16];
    std::snprintf(eos, sizeof eos, "0x%x", n.eos);
    std::printf("  %-12s %-22s tmo %d, eot %d, eos %s\n", n.name.c_str(),
                Address(n.board, n.pad, n.sad).c_str(), n.tmo, n.eot, eos);
  }
  std::printf("simulated instruments:\n");
  for (const auto& b : bus.boards)
    for (const auto& p : b.instruments)
      std::printf("  %-22s %s (%s)\n", Resource(b.index, p.pad, p.sad).c_str(),
                  p.definition.name.c_str(),
                  p.definition.model.empty() ? "described" : p.definition.model.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(stderr, "usage: vorel-bus [FILE]\n");
    return 2;
  }
  vexon::BusConfig bus;
  if (argc == 2) {
    std::printf("bus file %s\n", argv[1]);
  } else {
    const vexon::BusSource source = vexon::FindBusSource();
    if (source.path.empty()) {
      std::printf("the driver uses its built-in bus (%s)\n", source.why.c_str());
      Describe(vexon::DefaultBus());
      return 0;
    }
    std::printf("the driver reads %s (%s)\n", source.path.c_str(), source.why.c_str());
  }
  std::fflush(stdout);
  std::string message;
  int error = 0;
  if (!vexon::LoadBusFile(argc == 2 ? argv[1] : vexon::FindBusSource().path, bus, message, error)) {
    std::fprintf(stderr, "vexon: %s\n", message.c_str());
    return 1;
  }
  Describe(bus);
  return 0;
}
