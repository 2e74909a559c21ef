// Boards of the adapter back ends; opening them and reporting a stream that
// failed.
#include "board.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "../router/router.h"

namespace vexon::prologix {

namespace {

Board boards[kMaxBoards];

}  // namespace

Board& BoardAt(int index) { return boards[index]; }

int StreamFault(Board& b, int base) {
  int e = errno ? errno : EIO;
  ReportProblem("gpib" + std::to_string(b.adapter->settings().index) + ": " + b.adapter->Where() + ": " +
                b.adapter->Problem(e));
  b.adapter->Drop();
  return Fail(base, EDVR, e);
}

bool ReadyOrFail(Board& b, int base, int timeoutMs) {
  errno = 0;
  b.adapter->Begin(timeoutMs);
  Outcome o = b.adapter->Ready();
  if (o == Outcome::Done) return true;
  if (o == Outcome::Refused) return StepOk(b, o, base);
  StreamFault(b, base);
  return false;
}

bool StepOk(Board& b, Outcome o, int base) {
  switch (o) {
    case Outcome::Done:
      return true;
    case Outcome::NoAnswer:
      Fail(base | TIMO, EABO);
      break;
    case Outcome::Stopped:
      Fail(base, EABO);
      break;
    case Outcome::Refused:
      ReportProblem("gpib" + std::to_string(b.adapter->settings().index) + ": the adapter at " +
                    b.adapter->Where() + " answered \"" + b.adapter->refusal() + "\"");
      Fail(base, b.adapter->refusalError());
      break;
    case Outcome::Broken:
      StreamFault(b, base);
      break;
  }
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
  return ReadyOrFail(b, 0, TimeoutMs(OptionOf(s.index, IbcTMO)));
}

void CloseBoard(int board) {
  Board& b = boards[board];
  std::lock_guard l(b.lock);
  if (b.adapter) b.adapter->Drop();
}

}  // namespace vexon::prologix
