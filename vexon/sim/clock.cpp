// The simulated bus's clock. Time passes only while a call waits: a read for
// a response that is not ready, ibwait and WaitSRQ for what a pending
// response brings. So a session replays the same on every run.
#include <cstdint>

#include "bus.h"
#include "described/instance.h"

namespace vorel::sim {

int64_t boardTimeout(int board) {
  Bus& b = bus();
  for (size_t ud = 0; ud < b.handles.size(); ++ud)
    if (b.handles[ud].used && b.handles[ud].isBoard && b.handles[ud].board == board)
      return timeoutOf(b.cfg(static_cast<int>(ud), IbcTMO));
  return timeoutOf(T10s);
}

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
