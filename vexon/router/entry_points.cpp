// The exported entry points. A handle call goes to the back end of its
// handle, a 488.2 routine to the back end of its board; ibfind, ibdev and
// ibonl also keep the handle table. Nothing thrown leaves the library: a
// call that throws (out of memory) fails with EDVR.
#include <cctype>
#include <cstdio>
#include <string>

#include "handle_options.h"
#include "handle_record.h"
#include "record_hooks.h"
#include "router.h"
#include "status.h"

#define VEXON_API extern "C" __attribute__((visibility("default")))

// The router's lists and the three calls written out below are every call
// of the header, each defined here against its declaration there.
#define VEXON_COUNT(...) +1
static_assert(0 VEXON_HANDLE_CALLS(VEXON_COUNT) VEXON_BOARD_ROUTINES(VEXON_COUNT) + 3 ==
                  0 VEXON_FUNCTIONS(VEXON_COUNT),
              "a call of vexon.h that the router does not define, or one it defines that vexon.h lacks");
#undef VEXON_COUNT

using namespace vexon;

namespace {

// Opens a device handle on board in backend with open(ud), its record
// holding config; returns the handle or -1.
template <class Open>
int OpenHandle(const Backend* backend, int board, const HandleConfig& config, Open open, bool linked = false) {
  int ud = ReserveHandle();
  if (ud < 0) return Fail(0, EDVR), -1;
  PlaceRecord(ud, false, board, config, linked);
  int sta = open(ud);
  if (!(sta & ERR)) MarkOpened(ud);
  SettleHandle(ud, backend, sta);
  return (sta & ERR) ? -1 : ud;
}

// Opens a device handle on board; the recorder learns of it.
int OpenDevice(const Backend* b, int board, int pad, int sad, int tmo, int eot, int eos) {
  if (DeviceRefusal(pad, sad, tmo, eot, eos) != kAllowed) return Fail(0, EARG), -1;
  const int ud = OpenHandle(b, board, DeviceConfig(pad, sad, tmo, eot, eos),
                            [&](int u) { return b->openDevice(u, board, pad, sad, tmo, eot, eos); });
  if (ud >= 0 && recorder::active.load(std::memory_order_relaxed)) [[unlikely]]
    recorder::DeviceOpened(ud, board, pad, sad, eot, eos);
  return ud;
}

// Opens the handle of board `index`, which is `index` itself, with the
// board's default settings. A board handle that is open already is opened
// afresh and stays open whatever its back end answers.
int OpenBoardHandle(const Backend* backend, int index) {
  const bool fresh = ReserveBoardHandle(index);
  if (!fresh && BackendOfHandle(index) != backend) return Fail(0, EDVR), -1;  // still opening elsewhere
  PlaceRecord(index, true, index, DefaultConfig(true));
  const int sta = backend->openBoardHandle(index, index);
  if (!fresh || !(sta & ERR)) MarkOpened(index);
  if (fresh) SettleHandle(index, backend, sta);
  return (sta & ERR) ? -1 : index;
}

// "gpibN" (any case) names board N.
bool BoardName(const std::string& n, int& index) {
  char rest = 0;
  return std::sscanf(n.c_str(), "gpib%d%c", &index, &rest) == 1 && n.size() <= 6 && index >= 0;
}

int FindName(const char* name) {
  const BusConfig* bus = LoadedBus();
  if (!bus) return -1;
  if (!name) return Fail(0, EARG), -1;
  std::string n(name);
  for (auto& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (int index = 0; BoardName(n, index)) {
    const Backend* b = BackendOfBoard(index);
    if (!b) return -1;
    return OpenBoardHandle(b, index);
  }
  if (const NamedDevice* d = bus->name(n)) {
    const Backend* b = BackendOfBoard(d->board);
    if (!b) return -1;
    // A server's own link name ("inst0") is recorded under an address of its own.
    if (!d->link.empty()) {
      if (DeviceRefusal(0, 0, d->tmo, d->eot, d->eos) != kAllowed) return Fail(0, EARG), -1;
      const int ud = OpenHandle(
          b, d->board, DeviceConfig(0, 0, d->tmo, d->eot, d->eos),
          [&](int u) { return b->openLink(u, d->board, d->link.c_str(), d->tmo, d->eot, d->eos); }, true);
      if (ud >= 0 && recorder::active.load(std::memory_order_relaxed)) [[unlikely]]
        recorder::LinkOpened(ud, d->board, d->link.c_str(), d->eot, d->eos);
      return ud;
    }
    return OpenDevice(b, d->board, d->pad, d->sad, d->tmo, d->eot, d->eos);
  }
  // Back ends with names of their own are asked in board order.
  for (const BoardSettings& s : bus->boards) {
    const Backend* known = FindBackend(s.backend.c_str());
    if (!known || !known->find) continue;
    const Backend* b = BackendOfBoard(s.index);
    if (!b) return -1;
    int ud = OpenHandle(b, s.index, DefaultConfig(false), [&](int u) { return b->find(u, s.index, name); });
    if (ud >= 0 && recorder::active.load(std::memory_order_relaxed)) [[unlikely]]
      recorder::NameFound(ud, s.index, name, *b);
    if (ud >= 0) return ud;
  }
  Fail(0, EDVR);
  return -1;
}

}  // namespace

VEXON_API int ibfindA(const char* name) {
  try {
    return FindName(name);
  } catch (...) {
    return Fail(0, EDVR), -1;
  }
}

VEXON_API int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  try {
    const Backend* b = BackendOfBoard(board);
    if (!b) return -1;
    return OpenDevice(b, board, pad, sad, tmo, eot, eos);
  } catch (...) {
    return Fail(0, EDVR), -1;
  }
}

VEXON_API int ibonl(int ud, int v) {
  try {
    const Backend* b = BackendOfHandle(ud);
    if (!b) [[unlikely]]
      return RefuseHandle(ud);
    if (v != 0 && v != 1) return Fail(b->baseStatus(ud), EARG);
    int sta = b->ibonl(ud, v);
    if (sta & ERR) return sta;
    if (v == 1) {
      // What the bus holds of a setting changed since (REN, a board's
      // address or role) goes back with it.
      const HandleConfig now = OptionsOf(ud), opening = OpeningOf(ud);
      for (int option = 1; option < kOptionSlots && b->configure; ++option)
        if (now[option] != opening[option] && !b->configure(ud, option, opening[option])) return LastStatus();
      ResetRecord(ud);
    } else {
      // The board's own settings go back to their defaults with its handle.
      if (KindOf(ud).isBoard) PlaceRecord(ud, true, ud, DefaultConfig(true));
      FreeHandle(ud);
      if (recorder::active.load(std::memory_order_relaxed)) [[unlikely]]
        recorder::HandleClosed(ud);
    }
    return sta;
  } catch (...) {
    return Fail(0, EDVR);
  }
}

#define VEXON_HANDLE_ENTRY(name, params, args)                     \
  VEXON_API int name params {                                      \
    try {                                                          \
      const Backend* b = BackendOfHandle(ud);                      \
      if (!b) [[unlikely]]                                         \
        return RefuseHandle(ud);                                   \
      const bool recording = recorder::active.load(std::memory_order_relaxed); \
      if (recording) [[unlikely]]                                  \
        recorder::Before<&Backend::name>::Adjust args;             \
      const int sta = b->name args;                                \
      if (recording) [[unlikely]]                                  \
        recorder::After<&Backend::name>{sta}.Call args;            \
      return sta;                                                  \
    } catch (...) {                                                \
      return Fail(0, EDVR);                                        \
    }                                                              \
  }
VEXON_HANDLE_CALLS(VEXON_HANDLE_ENTRY)

#define VEXON_ROUTINE_ENTRY(name, params, args)                \
  VEXON_API void name params {                                 \
    try {                                                      \
      if (const Backend* b = BackendOfBoard(board)) [[likely]] { \
        b->name args;                                          \
        if (recorder::active.load(std::memory_order_relaxed)) [[unlikely]] \
          recorder::After<&Backend::name>{LastStatus()}.Call args; \
      }                                                        \
    } catch (...) {                                            \
      Fail(0, EDVR);                                           \
    }                                                          \
  }
VEXON_BOARD_ROUTINES(VEXON_ROUTINE_ENTRY)
