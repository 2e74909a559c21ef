// Loading the bus description.
#include "bus_loader.h"

namespace vexon {

bool LoadBus(BusConfig& bus) {
  bus = DefaultBus();
  return true;
}

}  // namespace vexon
