// The simulated bus's clock. Time passes only while a call waits: a read for
// a response that is not ready, ibwait and WaitSRQ for what a pending
// response brings. So a session replays the same on every run.
#include <cstdint>

#include "bus.h"
#include "described/instance.h"

namespace vorel::sim {

// The board's own settings are its handle's, 10 s while no board handle is open.
int64_t boardTimeout(int board) { return timeoutOf(vexon::OptionOf(board, IbcTMO)); }

void advanceTime(int64_t to) {
  Bus& b = bus();
  if (to <= b.now) return;
  b.now = to;
  for (Device& d : b.devices) {
    if (!d.state.described) continue;
    described::TimePassed(*d.state.described, b.now);
    d.state.srq = d.state.described->status.srq;
  }
}

int64_t nextResponseTime(int board, const Device* device) {
  int64_t next = -1;
  for (const Device& d : bus().devices) {
    if (d.board != board || (device && &d != device) || !d.state.described) continue;
    const auto& pending = d.state.described->pending;
    if (!pending.empty() && (next < 0 || pending.front().readyAt < next)) next = pending.front().readyAt;
  }
  return next;
}

}  // namespace vorel::sim
