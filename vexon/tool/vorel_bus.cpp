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

// The board's settings as its back end describes them, and where it records.
std::string Settings(const vexon::BoardSettings& b) {
  const vexon::Backend* backend = vexon::FindBackend(b.backend.c_str());
  std::string text = backend ? backend->describeBoard(b) : "";
  if (!b.record.empty()) text += (text.empty() ? "" : ", ") + std::string("recorded to ") + b.record;
  return text;
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
                (n.link.empty() ? Address(n.board, n.pad, n.sad) : "gpib" + std::to_string(n.board) + " link " + n.link)
                    .c_str(),
                n.tmo, n.eot, eos);
  }
  std::printf("simulated instruments:\n");
  for (const auto& b : bus.boards)
    for (const auto& p : b.instruments)
      std::printf("  %-22s %s (%s)\n", Resource(b.index, p.pad, p.sad).c_str(),
                  p.definition.name.c_str(),
                  p.definition.model.empty() ? "described" : p.definition.model.c_str());
}

}  // namespace

constexpr const char kUsage[] =
    "usage: vorel-bus [FILE]\n"
    "Says which bus file the driver libvexon reads and why (VOREL_BUS, else\n"
    "~/.config/vorel/bus.yaml, else /etc/vorel/bus.yaml, else its built-in bus)\n"
    "and prints the bus it describes. With FILE, checks and describes that file.\n"
    "A file that is not valid gives the driver's message and the exit status 1.\n";

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fputs(kUsage, stderr);
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
  // Valid, but surely not what was meant.
  std::fflush(stdout);
  if (bus.boards.empty())
    std::fprintf(stderr, "vorel-bus: warning: %s describes no board: the driver drives an empty bus, "
                         "not the built-in one\n", argc == 2 ? argv[1] : vexon::FindBusSource().path.c_str());
  return 0;
}
