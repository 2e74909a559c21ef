// The 488.2 routines (and ibln) made of a back end's simpler operations:
// AllSpoll and FindRQS of serial polls, DevClearList and TriggerList of one
// clear or trigger each, SetRWLS of REN and LLO, TestSys and ResetSys of
// sends and receives, ibln of the back end's listener search, ibpct of
// PassControl, and of command bytes PPollConfig, PPollUnconfig, ibppc,
// SendSetup and ReceiveSetup. Each calls the back end's own operations
// through its completed table, so each part leaves the status as it would
// alone.
#include "built_routines.h"

#include <cstdlib>
#include <cstring>

#include <map>
#include <mutex>
#include <string>

#include "addresses.h"
#include "gpib_commands.h"
#include "router.h"
#include "status.h"

namespace vexon {

namespace {

// The board's completed operations; the router opened the board before the
// routine was called.
const Backend& Ops(int board) { return *BackendOfBoard(board); }

// The status bits of the last part, with CMPL and the count.
void Done(int cnt) { Finish((LastStatus() & ~(ERR | TIMO | END)) | CMPL, 0, cnt); }

void Store(short* to, short v) { std::memcpy(to, &v, sizeof v); }  // may be unaligned

// The status byte of one address, or -1 once the failure is left.
int Poll(const Backend& b, int board, uint16_t a) {
  short stb = 0;
  b.ReadStatusByte(board, a, &stb);
  return (LastStatus() & ERR) ? -1 : stb & 0xFF;
}

void AllSpoll(int board, const uint16_t* list, short* results) {
  if (!list || !results) return void(Fail(0, EARG));
  const Backend& b = Ops(board);
  int n = 0;
  bool failed = false;
  ForList(list, [&](int i, uint16_t a) {
    if (failed) return;
    const int stb = Poll(b, board, a);
    if (stb < 0) return void(failed = true);
    Store(results + i, static_cast<short>(stb));
    n = i + 1;
  });
  if (failed) return void(Finish(LastStatus(), LastError(), n));
  Done(n);
}

void FindRQS(int board, const uint16_t* list, short* result) {
  if (!list || !result) return void(Fail(0, EARG));
  const Backend& b = Ops(board);
  int found = -1, idx = 0;
  bool failed = false;
  ForList(list, [&](int i, uint16_t a) {
    if (found >= 0 || failed) return;
    idx = i;
    const int stb = Poll(b, board, a);
    if (stb < 0) return void(failed = true);
    if (stb & 0x40) {
      found = i;
      Store(result, static_cast<short>(stb));
    }
  });
  if (failed) return void(Finish(LastStatus(), LastError(), idx));
  if (found < 0) return void(Fail(LastStatus() & ~(ERR | TIMO | END | CMPL), ETAB, list[0] == NOADDR ? 0 : idx + 1));
  Done(found);
}

// One call of `each` per address; an empty list is the board's own call
// (each with NOADDR), which the back end may refuse.
void ForEachAddress(int board, const uint16_t* list, void (*each)(int, uint16_t)) {
  if (!list) return void(Fail(0, EARG));
  if (list[0] == NOADDR) return each(board, NOADDR);
  if (AnyInvalid(list)) return void(Fail(0, ENOL));
  bool ok = true;
  ForList(list, [&](int, uint16_t a) {
    if (ok) each(board, a);
    ok = ok && !(LastStatus() & ERR);
  });
  if (ok) Done(0);
}

void DevClearList(int board, const uint16_t* list) { ForEachAddress(board, list, Ops(board).DevClear); }
void TriggerList(int board, const uint16_t* list) { ForEachAddress(board, list, Ops(board).Trigger); }

void SetRWLS(int board, const uint16_t* list) {
  const Backend& b = Ops(board);
  b.EnableRemote(board, list);
  if (LastStatus() & ERR) return;
  b.SendLLO(board);
}

// Sends text with EOI to each listed device.
bool SendEach(const Backend& b, int board, const uint16_t* list, const char* text) {
  bool ok = true;
  ForList(list, [&](int, uint16_t a) {
    if (ok) b.Send(board, a, text, static_cast<int>(std::strlen(text)), NLend);
    ok = ok && !(LastStatus() & ERR);
  });
  return ok;
}

// "*TST?" to each device; each answer is its result, ibcntl how many failed.
void TestSys(int board, const uint16_t* list, short* results) {
  if (!list || !results) return void(Fail(0, EARG));
  if (AnyInvalid(list)) return void(Fail(0, ENOL));
  const Backend& b = Ops(board);
  int failures = 0;
  bool ok = true;
  ForList(list, [&](int i, uint16_t a) {
    if (!ok) return;
    b.Send(board, a, "*TST?", 5, NLend);
    char answer[32] = {};
    if (!(LastStatus() & ERR)) b.Receive(board, a, answer, sizeof answer - 1, STOPend);
    if ((ok = !(LastStatus() & ERR))) {
      const short v = static_cast<short>(std::atoi(answer));
      Store(results + i, v);
      failures += v != 0;
    }
  });
  if (ok) Done(failures);
}

// IFC, REN where the back end can assert it, DCL (or a clear of each listed
// device where it cannot), then "*RST" to each.
void ResetSys(int board, const uint16_t* list) {
  if (!list) return void(Fail(0, EARG));
  if (AnyInvalid(list)) return void(Fail(0, ENOL));
  const Backend& b = Ops(board);
  const uint16_t none[] = {NOADDR};
  b.SendIFC(board);
  if (LastStatus() & ERR) return;
  b.EnableRemote(board, none);
  if ((LastStatus() & ERR) && LastError() != ECAP) return;
  b.DevClear(board, NOADDR);
  if ((LastStatus() & ERR) && LastError() == ECAP) b.DevClearList(board, list);
  if (LastStatus() & ERR) return;
  if (SendEach(b, board, list, "*RST")) Done(0);
}

// Appends the listen (or talk) address of a device and its secondary.
void Listener(std::string& bytes, uint16_t a, uint8_t kind = command::LAD) {
  bytes += static_cast<char>(kind | (a & 0xFF));
  if (a >> 8) bytes += static_cast<char>(a >> 8);
}

void SendCommands(int board, const std::string& bytes) {
  Ops(board).SendCmds(board, bytes.data(), static_cast<int>(bytes.size()));
  if (!(LastStatus() & ERR)) Done(0);
}

// The parallel poll response each device was last configured with through
// these routines (PPE, or PPD when none), by board and address: a device
// tells it no one, and ibppc answers the previous one.
struct Responses {
  std::mutex m;
  std::map<int, uint8_t> byDevice;
  static int Key(int board, uint16_t a) { return board << 16 | a; }
  uint8_t Set(int board, uint16_t a, uint8_t response) {
    std::lock_guard l(m);
    auto [it, added] = byDevice.try_emplace(Key(board, a), command::PPD);
    const uint8_t previous = it->second;
    it->second = response;
    return previous;
  }
  void Forget(int board) {
    std::lock_guard l(m);
    byDevice.erase(byDevice.lower_bound(Key(board, 0)), byDevice.lower_bound(Key(board + 1, 0)));
  }
};
Responses& ConfiguredResponses() {
  static Responses r;
  return r;
}

// PPC and response (PPE or PPD) to the listed devices, each remembered; the
// previous response of the last.
int Configure(int board, const uint16_t* list, uint8_t response) {
  std::string bytes(1, static_cast<char>(command::UNL));
  ForList(list, [&](int, uint16_t a) { Listener(bytes, a); });
  bytes += static_cast<char>(command::PPC);
  bytes += static_cast<char>(response);
  bytes += static_cast<char>(command::UNL);
  SendCommands(board, bytes);
  int previous = command::PPD;
  if (!(LastStatus() & ERR)) ForList(list, [&](int, uint16_t a) { previous = ConfiguredResponses().Set(board, a, response); });
  return previous;
}

// The device answers a parallel poll on dataLine (1 to 8) when its
// individual status is lineSense: PPC and PPE to it alone.
void PPollConfig(int board, uint16_t address, int dataLine, int lineSense) {
  if (dataLine < 1 || dataLine > 8 || (lineSense != 0 && lineSense != 1)) return void(Fail(0, EARG));
  if (!ValidAddress(address)) return void(Fail(0, ENOL));
  const uint16_t one[] = {address, NOADDR};
  Configure(board, one, static_cast<uint8_t>(command::PPE | lineSense << 3 | (dataLine - 1)));
}

// PPC and PPD to the listed devices; an empty list is PPU to all.
void PPollUnconfig(int board, const uint16_t* list) {
  if (!list) return void(Fail(0, EARG));
  if (AnyInvalid(list)) return void(Fail(0, ENOL));
  if (list[0] != NOADDR) return void(Configure(board, list, command::PPD));
  SendCommands(board, std::string(1, static_cast<char>(command::PPU)));
  if (!(LastStatus() & ERR)) ConfiguredResponses().Forget(board);
}

// The board talks and the listed devices listen: UNT, UNL, the board's talk
// address, the devices' listen addresses.
void SendSetup(int board, const uint16_t* list) {
  if (!list) return void(Fail(0, EARG));
  if (list[0] == NOADDR || AnyInvalid(list)) return void(Fail(0, ENOL));
  const int own = Ops(board).boardAddress(board);
  if (own < 0) return;
  std::string bytes{static_cast<char>(command::UNT), static_cast<char>(command::UNL),
                    static_cast<char>(command::TAD | own)};
  ForList(list, [&](int, uint16_t a) { Listener(bytes, a); });
  SendCommands(board, bytes);
}

// The device talks and the board listens: UNT, UNL, the board's listen
// address, the device's talk address. No device has an address outside the
// bus's: then nobody talks, and a read times out as from an absent device.
void ReceiveSetup(int board, uint16_t address) {
  const int own = Ops(board).boardAddress(board);
  if (own < 0) return;
  std::string bytes{static_cast<char>(command::UNT), static_cast<char>(command::UNL),
                    static_cast<char>(command::LAD | own)};
  if (ValidAddress(address)) Listener(bytes, address, command::TAD);
  SendCommands(board, bytes);
}

// The board and address of a device handle, by the back end's ibask; false
// once the failure is left.
bool DeviceAt(const Backend& b, int ud, int& board, uint16_t& address) {
  int pad = 0, sad = 0;
  if ((b.ibask(ud, IbcBNA, &board) & ERR) || (b.ibask(ud, IbcPAD, &pad) & ERR) || (b.ibask(ud, IbcSAD, &sad) & ERR))
    return false;
  address = static_cast<uint16_t>(pad | sad << 8);
  return true;
}

// A board routine's outcome as the device handle's: its own status bits,
// the routine's failure.
int AsHandles(int base) {
  if (LastStatus() & ERR) return Fail(base | (LastStatus() & TIMO), LastError(), LastCount());
  return Finish(base | CMPL, 0, 0);
}

// Control to the handle's device; a board handle passes it to no one.
int PassControlTo(int ud) {
  const Backend& b = *BackendOfHandle(ud);
  const int base = OwnBits(b.ibwait, ud);
  if (ud < kFirstDeviceHandle) return Fail(base, ECAP);
  int board = 0;
  uint16_t address = 0;
  if (!DeviceAt(b, ud, board, address)) return LastStatus();
  b.PassControl(board, address);
  return AsHandles(base);
}

// The device's parallel poll response: v PPE (0x60 to 0x6F) configures it,
// PPD (0x70 to 0x7F) or 0 disables it; iberr the previous one. A board
// handle's own response is its option IbcPPC.
int ConfigureResponse(int ud, int v) {
  const Backend& b = *BackendOfHandle(ud);
  const int base = OwnBits(b.ibwait, ud);
  if (v != 0 && (v < command::PPE || v > 0x7F)) return Fail(base, EARG);
  if (ud < kFirstDeviceHandle) return b.ibconfig(ud, IbcPPC, v);
  int board = 0;
  uint16_t address = 0;
  if (!DeviceAt(b, ud, board, address)) return LastStatus();
  const uint16_t one[] = {address, NOADDR};
  const int previous = Configure(board, one, v && v < command::PPD ? static_cast<uint8_t>(v) : command::PPD);
  if (LastStatus() & ERR) return AsHandles(base);
  return FinishWithValue(base | CMPL, previous);
}

// Whether a device listens at pad (and sad: 0 none, 0x60 to 0x7E, or any
// with 0xFFFF or -1), by the back end's search of the handle's board.
int ListenerAt(int ud, int pad, int sad, short* listen) {
  const Backend& b = *BackendOfHandle(ud);
  const bool anySad = sad == 0xFFFF || sad == -1;
  if (!listen || pad < 0 || pad > 30 || !(sad == 0 || anySad || (sad >= 0x60 && sad <= 0x7E)))
    return Fail(0, EARG);
  int board = ud;
  if (ud >= kFirstDeviceHandle && (b.ibask(ud, IbcBNA, &board) & ERR)) return LastStatus();
  const int base = OwnBits(b.ibwait, ud);
  const uint16_t pads[] = {static_cast<uint16_t>(pad), NOADDR};
  uint16_t found[32] = {};
  b.FindLstn(board, pads, found, 32);
  if (LastStatus() & ERR) return Fail(base, LastError(), 0);
  bool listens = false;
  for (int i = 0; i < LastCount(); ++i) listens |= anySad || (found[i] >> 8) == sad;
  Store(listen, listens ? 1 : 0);
  return Finish(base | CMPL, 0, 0);
}

}  // namespace

void BuildRoutines(const Backend& given, Backend& b) {
  if (given.ReadStatusByte) {
    if (!given.AllSpoll) b.AllSpoll = &AllSpoll;
    if (!given.FindRQS) b.FindRQS = &FindRQS;
  }
  if (given.DevClear && !given.DevClearList) b.DevClearList = &DevClearList;
  if (given.Trigger && !given.TriggerList) b.TriggerList = &TriggerList;
  if (given.EnableRemote && given.SendLLO && !given.SetRWLS) b.SetRWLS = &SetRWLS;
  if (given.Send && given.Receive) {
    if (!given.TestSys) b.TestSys = &TestSys;
    if (given.SendIFC && (given.DevClear || given.DevClearList) && !given.ResetSys) b.ResetSys = &ResetSys;
  }
  if (given.FindLstn && !given.ibln) b.ibln = &ListenerAt;
  if (given.PassControl && !given.ibpct) b.ibpct = &PassControlTo;
  if (given.SendCmds) {
    if (!given.PPollConfig) b.PPollConfig = &PPollConfig;
    if (!given.PPollUnconfig) b.PPollUnconfig = &PPollUnconfig;
    if (!given.ibppc) b.ibppc = &ConfigureResponse;
    if (given.boardAddress && !given.SendSetup) b.SendSetup = &SendSetup;
    if (given.boardAddress && !given.ReceiveSetup) b.ReceiveSetup = &ReceiveSetup;
  }
}

}  // namespace vexon
