// The board and device functions of the adapter back ends. Data goes to and
// from device handles; a board handle can clear the interface, wait for SRQ
// and keep settings, but has no way to address the bus itself.
#include "calls.h"

#include <string>
#include <vector>

#include "transfers.h"

namespace vexon::prologix {

namespace {

bool BadBuffer(const void* buf, int count) { return (!buf && count) || count < 0; }

// The handle, its board held for the call.
struct Held {
  explicit Held(int ud) : ud(ud), h(KindOf(ud)), b(BoardAt(h.board)), lock(b.lock), occupied(b, ud) {}
  int ud;
  HandleKind h;
  Board& b;
  std::lock_guard<std::mutex> lock;
  Occupied occupied;
  int cfg(int option) const { return OptionOf(ud, option); }
  int base() const { return BaseOf(h); }
  int timeoutMs() { return TimeoutMs(cfg(IbcTMO)); }
};

int Write(Held& c, const void* buf, int count) {
  return WriteTo(c.b, 0, c.cfg(IbcPAD), c.cfg(IbcSAD), buf, count, c.cfg(IbcEOT) != 0, c.timeoutMs());
}

int Read(Held& c, void* buf, int count) {
  return ReadFrom(c.b, 0, c.cfg(IbcPAD), c.cfg(IbcSAD), buf, count, c.cfg(IbcEOSrd) != 0,
                  c.cfg(IbcEOSchar), c.timeoutMs());
}

}  // namespace

int ibwrt(int ud, const void* buf, int count) {
  Held c(ud);
  if (BadBuffer(buf, count)) return Fail(c.base(), EARG);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  return Write(c, buf, count);
}

int ibrd(int ud, void* buf, int count) {
  Held c(ud);
  if (BadBuffer(buf, count)) return Fail(c.base(), EARG);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  return Read(c, buf, count);
}

int ibrsp(int ud, char* spr) {
  Held c(ud);
  if (!spr) return Fail(c.base(), EARG);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  int stb = SerialPoll(c.b, 0, c.cfg(IbcPAD), c.cfg(IbcSAD), c.timeoutMs());
  if (stb < 0) return LastStatus();
  *spr = static_cast<char>(stb);
  return Finish(CMPL, 0, 1);
}

int ibclr(int ud) {
  Held c(ud);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  return DeviceCommand(c.b, 0, c.cfg(IbcPAD), c.cfg(IbcSAD), "++clr", c.timeoutMs());
}

int ibtrg(int ud) {
  Held c(ud);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  return DeviceCommand(c.b, 0, c.cfg(IbcPAD), c.cfg(IbcSAD), "++trg", c.timeoutMs());
}

int ibloc(int ud) {
  Held c(ud);
  if (c.h.isBoard) return Finish(c.base() | CMPL, 0, 0);
  return DeviceCommand(c.b, 0, c.cfg(IbcPAD), c.cfg(IbcSAD), "++loc", c.timeoutMs());
}

int ibsic(int ud) {
  Held c(ud);
  if (!c.h.isBoard) return Fail(c.base(), EARG);
  if (!ReadyOrFail(c.b, c.base(), c.timeoutMs())) return LastStatus();
  if (!StepOk(c.b, c.b.adapter->Command("++ifc"), c.base())) return LastStatus();
  return Finish(c.base() | CMPL, 0, 0);
}

// Only a board's SRQ wait holds the board: what answers at once answers
// while another call runs there.
int ibwait(int ud, int mask) {
  const HandleKind h = KindOf(ud);
  if (mask & ~WaitConditions(h.isBoard)) return Fail(BaseOf(h), EARG);
  const int now = BaseOf(h) | CMPL;
  if (mask == 0 || (mask & now)) return Finish(now, 0, LastCount());
  // Nothing else the adapter can report comes about while the program waits.
  if (!h.isBoard || !(mask & SRQI)) return Finish(now | TIMO, 0, LastCount());
  Held c(ud);
  int srq = WaitForSrq(c.b, c.base(), c.timeoutMs());
  if (srq < 0) return LastStatus();
  return Finish(now | (srq ? SRQI : TIMO), 0, LastCount());
}

// Never waits for the board: the call it ends holds it.
int ibstop(int ud) {
  const HandleKind h = KindOf(ud);
  StopCall(BoardAt(h.board), ud, h.isBoard);
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

int ibrpp(int ud, char* ppr) {
  Held c(ud);
  if (!ppr) return Fail(c.base(), EARG);
  if (!c.h.isBoard || !c.b.adapter->ar488()) return Fail(c.base(), ECAP);
  int v = ParallelPoll(c.b, c.base(), c.timeoutMs());
  if (v < 0) return LastStatus();
  *ppr = static_cast<char>(v);
  return Finish(c.base() | CMPL, 0, 1);
}

}  // namespace vexon::prologix
