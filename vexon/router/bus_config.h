// The bus as the driver knows it once the bus file is read: plain structs of
// boards, the names ibfind opens and the simulated instruments. Nothing after
// the loader looks at the file itself.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <vexon.h>

#include "described_definition.h"

namespace vexon {

// Board indexes run from 0 to kMaxBoards - 1 (gpib0 to gpib15).
constexpr int kMaxBoards = 16;

// An instrument definition without `model` (pyvisa-sim's format), as the
// reader of the back end that places instruments gives it.
using DescribedInstrument = vorel::sim::described::Definition;

// An instrument definition of `devices`.
// Channel ids by channel group, from a resource's `channel_ids`: they take
// the place of the group's own `ids`.
using ChannelIds = std::map<std::string, std::vector<std::string>>;

struct InstrumentDefinition {
  std::string name;
  std::string model;  // a built-in model ("meter", ...), empty for a described one
  DescribedInstrument described;
  std::string file;   // where it was defined, for messages
  int line = 0;
};

// One simulated instrument on a sim board, with a copy of its definition.
struct InstrumentPlacement {
  int pad = 0, sad = 0;  // sad: 0 = none, else 0x60..0x7E
  InstrumentDefinition definition;
};

// What a back end gets for one board. Each back end reads its own fields.
struct BoardSettings {
  int index = 0;              // N of gpibN
  std::string backend = "sim";
  // sim
  int pad = 0;                // the board's primary address
  bool systemController = true;
  std::vector<InstrumentPlacement> instruments;
  // linux-gpib
  int minor = -1;             // libgpib's board index; -1: the same as index
  // prologix and ar488: port (serial) or host (TCP)
  std::string port, host;
  int tcpPort = 1234;
  int baud = 115200;
  // How long an end mark that may be data must stay the last byte before a
  // binary reply counts as ended (text and definite-length blocks never wait).
  int endWaitMs = 50;
  // any back end: the file the board's exchanges are recorded to, empty
  // when it does not record (a relative path is taken from the bus file's folder)
  std::string record;
  // vxi11: host (above), the server's interface link and the connect timeout
  std::string interfaceName = "gpib0";
  int connectTimeout = 3;  // seconds
};

// A name ibfind opens as a device handle, with the settings of ibdev.
struct NamedDevice {
  std::string name;  // as written; matched without regard to case
  int board = 0, pad = 0, sad = 0;
  int tmo = T10s, eot = 1, eos = 0;
  std::string link{};  // a vxi11 board's own link name ("inst0") in place of pad and sad
};

struct BusConfig {
  std::string source;  // the file read, empty for the built-in bus
  std::vector<BoardSettings> boards;  // by index, ascending
  std::vector<NamedDevice> names;     // explicit names first, then definitions' names
  std::vector<InstrumentDefinition> definitions;
  uint64_t seed = 0;  // of simulated instruments' RANDOM(...) responses

  const BoardSettings* board(int index) const;
  const NamedDevice* name(const std::string& n) const;
};

// The bus when no file describes one: gpib0 with the five simulated
// instruments, gpib1 without devices.
BusConfig DefaultBus();

}  // namespace vexon
