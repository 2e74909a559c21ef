// The interface between the router and a back end: one struct of operations.
// A back end fills what it can do; CompleteBackend() fills the rest with the
// shared defaults, which fail with ERR and ECAP.
#pragma once
#include <cstdint>
#include <string>

#include <vexon.h>
#include "bus_config.h"
#include "call_list.h"

namespace YAML {
class Node;
}

namespace vexon {

struct YamlFile;

struct Backend {
  const char* name = nullptr;

  // Its board entries in the bus file: reads and checks the back end's own
  // keys of one into settings (index and backend are set) with the checks of
  // router/bus_yaml.h, which throw. A back end without it cannot be named in
  // a bus file.
  void (*readBoard)(const YamlFile& file, const YAML::Node& entry, BoardSettings& settings) = nullptr;
  // The board's settings in a few words, for vorel-bus. Default: none.
  std::string (*describeBoard)(const BoardSettings& settings) = nullptr;
  // Whether the bus file may place simulated instruments on its boards.
  bool placesInstruments = false;
  // The reader of the bus file's instrument definitions (`devices`): one
  // entry named name into out, with channelIds in place of its channel
  // groups' own ids, throwing BusFileError with the place of the first
  // fault. With idsFromResources a group without ids is left to the
  // resources that place the definition. The bus file's definitions need a
  // back end that has it.
  void (*readInstrument)(const YamlFile& file, const std::string& name, const YAML::Node& entry,
                         InstrumentDefinition& out, const ChannelIds& channelIds,
                         bool idsFromResources) = nullptr;
  // Whether names on its boards may give a `link` of the server's own in
  // place of an address (openLink opens them).
  bool takesLinks = false;

  // The first call for a board opens it. False after the failure is reported
  // (ERR, EDVR, ibcntl the system error code; a line on stderr); the router
  // asks again on the next call for the board. Default: succeeds.
  bool (*openBoard)(const BoardSettings& settings) = nullptr;
  // The router is done with the board: its handles are gone. Default: nothing.
  void (*closeBoard)(int board) = nullptr;

  // The router keeps every handle's record (handle_record.h): it picks the
  // number ud, free in every back end, checks ibdev's and ibonl's arguments,
  // fills the record before the back end opens the handle and frees it again
  // when the result has ERR. The back end opens what it needs for the handle
  // (a link, a descriptor); each returns ibsta. Default: succeeds.
  int (*openBoardHandle)(int ud, int board) = nullptr;
  int (*openDevice)(int ud, int board, int pad, int sad, int tmo, int eot, int eos) = nullptr;
  // Optional: a name of the back end's own (not in the bus file) opened as
  // handle ud. Returns ibsta; ERR when the back end does not know the name.
  int (*find)(int ud, int board, const char* name) = nullptr;
  // A name of the bus file that gives a link of the board's server ("inst0")
  // in place of an address, opened as handle ud. Returns ibsta. Default: ECAP.
  int (*openLink)(int ud, int board, const char* link, int tmo, int eot, int eos) = nullptr;
  // Optional: the board's own primary address on its bus, or -1 once the
  // failure is left in the status. With SendCmds the router builds
  // SendSetup and ReceiveSetup of command bytes.
  int (*boardAddress)(int board) = nullptr;
  // Closes (v 0) or resets (v 1) what the back end keeps of a handle; the
  // router then frees the handle or resets its options. Default: succeeds.
  int (*ibonl)(int ud, int v) = nullptr;

  // The status bits a call on the handle starts from (CIC, ATN, REM, LOK of
  // a board). Default: CIC and ATN for a board handle, none for a device's.
  int (*baseStatus)(int ud) = nullptr;
  // Optional: acts on an option the router is about to set for ibconfig or
  // ibeos (ranges checked). False once the failure is reported; the option
  // then keeps its value.
  bool (*configure)(int ud, int option, int value) = nullptr;
  // ibask, ibconfig and ibeos are the router's on the handle's record unless
  // a back end passes them to a library of its own.

#define VEXON_HANDLE_MEMBER(name, params, args) int(*name) params = nullptr;
#define VEXON_ROUTINE_MEMBER(name, params, args) void(*name) params = nullptr;
  VEXON_HANDLE_CALLS(VEXON_HANDLE_MEMBER)
  VEXON_BOARD_ROUTINES(VEXON_ROUTINE_MEMBER)
#undef VEXON_HANDLE_MEMBER
#undef VEXON_ROUTINE_MEMBER

  // Set by CompleteBackend where the router builds the asynchronous calls on
  // the back end's synchronous ones (async_calls.h): the back end's own
  // operations that the router's ibwait, ibstop, ibonl and ibnotify call in
  // turn. ibnotify is null when the back end has none.
  struct Own {
    int (*ibwait)(int ud, int mask) = nullptr;
    int (*ibstop)(int ud) = nullptr;
    int (*ibonl)(int ud, int v) = nullptr;
    int (*ibnotify)(int ud, int mask, NotifyCallback cb, void* refData) = nullptr;
  } own;
};

// A handle's own status bits (CIC, ATN, REM, LOK), as an ibwait with mask 0
// answers them at once.
inline int OwnBits(int (*ibwait)(int ud, int mask), int ud) {
  return ibwait(ud, 0) & ~(ERR | TIMO | END | CMPL | RQS | SRQI);
}

// The same operations with every empty one filled: by what the router builds
// from the operations the back end has (async_calls.h, built_routines.h),
// else by its default.
Backend CompleteBackend(Backend b);

// The back ends this build knows, by name; null for an unknown name.
const Backend* FindBackend(const char* name);
// Every back end of this build, in the order of its table; count set.
const Backend* AllBackends(int& count);

}  // namespace vexon
