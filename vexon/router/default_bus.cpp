// The built-in bus, and the lookups of a loaded one.
#include <strings.h>

#include "bus_config.h"

namespace vexon {

BusConfig DefaultBus() {
  BusConfig bus;
  struct Placed {
    const char* name;
    int pad, sad;
  };
  const Placed kInstruments[] = {
      {"dmm", 1, 0}, {"loop", 2, 0}, {"seq", 3, 0}, {"sec", 4, 0x60}, {"faulty", 5, 0},
  };
  // Each definition is the built-in model of the same role.
  const char* const kModels[] = {"meter", "loopback", "sequence", "secondary", "faulty"};
  BoardSettings gpib0, gpib1;
  gpib0.index = 0;
  gpib1.index = 1;
  int i = 0;
  for (const Placed& p : kInstruments) {
    InstrumentDefinition d;
    d.name = p.name;
    d.model = kModels[i];
    bus.definitions.push_back(d);
    gpib0.instruments.push_back({p.pad, p.sad, d});
    bus.names.push_back({p.name, 0, p.pad, p.sad});
    ++i;
  }
  bus.boards = {gpib0, gpib1};
  return bus;
}

const BoardSettings* BusConfig::board(int index) const {
  for (const auto& b : boards)
    if (b.index == index) return &b;
  return nullptr;
}

const NamedDevice* BusConfig::name(const std::string& n) const {
  for (const auto& d : names)
    if (strcasecmp(d.name.c_str(), n.c_str()) == 0) return &d;
  return nullptr;
}

}  // namespace vexon
