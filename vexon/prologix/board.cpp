// Boards and handles of the adapter back ends; opening them and reporting
// a stream that failed.
#include "board.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "../router/router.h"
#include "../sim/bus.h"
#include "options.h"

namespace vexon::prologix {

namespace {

Board boards[kMaxBoards];
Handle handles[kMaxHandles];

struct TimeoutCode {
  int code, ms;
};
// Every timeout code, 0 (none) to 17; codes below 1 ms count as 1 ms.
constexpr TimeoutCode kTimeouts[] = {
    {0, -1},     {1, 1},      {2, 1},       {3, 1},       {4, 1},        {5, 1},
    {6, 3},      {7, 10},     {8, 30},      {9, 100},     {10, 300},     {11, 1000},
    {12, 3000},  {13, 10000}, {14, 30000},  {15, 100000}, {16, 300000},  {17, 1000000},
};
static_assert(sizeof kTimeouts / sizeof kTimeouts[0] == 18, "one entry per timeout code");

}  // namespace

Board& BoardAt(int index) { return boards[index]; }
Handle& HandleAt(int ud) { return handles[ud]; }

std::map<int, int>& ConfigOf(Handle& h) { return h.isBoard ? boards[h.board].config : h.config; }

int TimeoutMs(int code) {
  for (const TimeoutCode& t : kTimeouts)
    if (t.code == code) return t.ms;
  return 10000;
}

bool ValidAddress(uint16_t a) {
  int pad = a & 0xFF, sad = a >> 8;
  return pad <= 30 && (sad == 0 || (sad >= 0x60 && sad <= 0x7E));
}

int StreamFault(Board& b, int base) {
  int e = errno ? errno : EIO;
  ReportProblem("gpib" + std::to_string(b.adapter->settings().index) + ": " + b.adapter->Where() + ": " +
                b.adapter->Problem(e));
  b.adapter->Drop();
  return Fail(base, EDVR, e);
}

bool ReadyOrFail(Board& b, int base) {
  errno = 0;
  if (b.adapter->Ready() == Outcome::Done) return true;
  StreamFault(b, base);
  return false;
}

bool StepOk(Board& b, Outcome o, int base) {
  if (o == Outcome::Done) return true;
  if (o == Outcome::NoAnswer) Fail(base | TIMO, EABO);
  else StreamFault(b, base);
  return false;
}

bool OpenBoard(const BoardSettings& s, bool ar488) {
  Board& b = boards[s.index];
  std::lock_guard l(b.lock);
  if (!b.adapter) b.adapter = std::make_unique<Adapter>(s, ar488);
  if (b.config.empty()) b.config = vorel::sim::defaultConfig(true);
  return ReadyOrFail(b, 0);
}

void CloseBoard(int board) {
  Board& b = boards[board];
  std::lock_guard l(b.lock);
  if (b.adapter) b.adapter->Drop();
  b.config.clear();
}

int OpenBoardHandle(int ud, int board) {
  std::lock_guard l(boards[board].lock);
  Handle& h = handles[ud];
  h = Handle{true, true, board, {}};
  return Finish(kBoardBase | CMPL, 0, 0);
}

int OpenDevice(int ud, int board, int pad, int sad, int tmo, int eot, int eos) {
  if (pad < 0 || pad > 30 || !(sad == 0 || (sad >= 0x60 && sad <= 0x7E)) || tmo < 0 || tmo > 17 ||
      eot < 0 || eot > 1 || eos < 0 || eos > 0x1FFF)
    return Fail(0, EARG);
  std::lock_guard l(boards[board].lock);
  Handle& h = handles[ud];
  h = Handle{true, false, board, vorel::sim::defaultConfig(false)};
  h.config[IbcPAD] = pad;
  h.config[IbcSAD] = sad;
  h.config[IbcTMO] = tmo;
  h.config[IbcEOT] = eot;
  vorel::sim::storeOption(h.config, IbcEOS, eos);
  return Finish(CMPL, 0, 0);
}

int Online(int ud, int v) {
  Handle& h = handles[ud];
  std::lock_guard l(boards[h.board].lock);
  if (v < 0 || v > 1) return Fail(BaseOf(h), EARG);
  if (v == 0) {
    h.used = false;
  } else if (!h.isBoard) {
    int pad = h.config[IbcPAD], sad = h.config[IbcSAD];
    h.config = vorel::sim::defaultConfig(false);
    h.config[IbcPAD] = pad;
    h.config[IbcSAD] = sad;
  }
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

}  // namespace vexon::prologix
