// The simulated bus as a back end of the router: it has every call.
#include "calls.h"
#include "definition_reader.h"

namespace vorel::sim {
void ReadBoardEntry(const vexon::YamlFile& file, const YAML::Node& node, vexon::BoardSettings& b);
std::string DescribeBoard(const vexon::BoardSettings& b);
}  // namespace vorel::sim

namespace vexon {

Backend SimBackend() {
  namespace sim = vorel::sim;
  Backend b;
  b.name = "sim";
  b.readBoard = &sim::ReadBoardEntry;
  b.describeBoard = &sim::DescribeBoard;
  b.placesInstruments = true;
  b.readInstrument = &sim::ReadInstrumentDefinition;
  b.openBoard = &sim::openBoard;
  b.closeBoard = &sim::closeBoard;
  b.openBoardHandle = &sim::openBoardHandle;
  b.openDevice = &sim::openDevice;
  b.ibonl = &sim::ibonl;
  b.baseStatus = &sim::startingStatus;
  b.configure = &sim::configure;
#define VOREL_SIM_OPERATION(name, params, args) b.name = &sim::name;
  VEXON_BUS_HANDLE_CALLS(VOREL_SIM_OPERATION)
  VEXON_BOARD_ROUTINES(VOREL_SIM_OPERATION)
#undef VOREL_SIM_OPERATION
  return b;
}

}  // namespace vexon
