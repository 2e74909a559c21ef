// Boards and handles of the adapter back ends; opening them and reporting
// a stream that failed.
#include "board.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "../router/router.h"
#include "options.h"

namespace vexon::prologix {

namespace {

Board boards[kMaxBoards];
Handle handles[kMaxHandles];

}  // namespace

Board& BoardAt(int index) { return boards[index]; }
Handle& HandleAt(int ud) { return handles[ud]; }

HandleConfig& ConfigOf(Handle& h) { return h.isBoard ? boards[h.board].config : h.config; }

int StreamFault(Board& b, int base) {
  int e = errno ? errno : EIO;
  ReportProblem("gpib" + std::to_string(b.adapter->settings().index) + ": " + b.adapter->Where() + ": " +
                std::strerror(e));
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

Occupied::Occupied(Board& b, int ud) : b_(b) {
  std::lock_guard l(b.busyLock);
  b.busyWith = ud;
  b.busy = true;
  if (b.adapter) b.adapter->ClearStop();
}

Occupied::~Occupied() {
  std::lock_guard l(b_.busyLock);
  b_.busy = false;
  b_.busyWith = -1;
}

void StopCall(Board& b, int ud, bool boardHandle) {
  std::lock_guard l(b.busyLock);
  if (b.busy && b.adapter && (boardHandle || b.busyWith == ud)) b.adapter->Stop();
}

bool OpenBoard(const BoardSettings& s, bool ar488) {
  Board& b = boards[s.index];
  std::lock_guard l(b.lock);
  if (!b.adapter) b.adapter = std::make_unique<Adapter>(s, ar488);
  if (b.config.empty()) b.config = DefaultConfig(true);
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
  if (int err = DeviceRefusal(pad, sad, tmo, eot, eos); err != kAllowed) return Fail(0, err);
  std::lock_guard l(boards[board].lock);
  handles[ud] = Handle{true, false, board, DeviceConfig(pad, sad, tmo, eot, eos)};
  return Finish(CMPL, 0, 0);
}

int Online(int ud, int v) {
  Handle& h = handles[ud];
  std::lock_guard l(boards[h.board].lock);
  if (v < 0 || v > 1) return Fail(BaseOf(h), EARG);
  if (v == 0) {
    h.used = false;
  } else if (!h.isBoard) {
    ResetConfig(h.config, false);
  }
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

}  // namespace vexon::prologix
