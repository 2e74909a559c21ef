// The board and device functions of the adapter back ends. Data goes to and
// from device handles; a board handle can clear the interface, wait for SRQ
// and keep settings, but has no way to address the bus itself.
#include "calls.h"

#include <string>
#include <vector>

#include "../router/user_files.h"
#include "transfers.h"

namespace vexon::prologix {

namespace {

// ibrdf and ibwrtf move at most this much; a talker that never ends is cut
// off there as a timeout.
constexpr int kFileLimit = 16 << 20;

bool BadBuffer(const void* buf, int count) { return (!buf && count) || count < 0; }

// The handle, its board held for the call.
struct Held {
  explicit Held(int ud) : h(HandleAt(ud)), b(BoardAt(h.board)), lock(b.lock) {}
  Handle& h;
  Board& b;
  std::lock_guard<std::mutex> lock;
  int cfg(int option) { return ConfigOf(h)[option]; }
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

int ibwrtfA(int ud, const char* fileName) {
  Held c(ud);
  if (!fileName) return Fail(c.base(), EARG);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  std::string data;
  if (!ReadWholeFile(fileName, kFileLimit, data)) return Fail(c.base(), EFSO);
  return Write(c, data.data(), static_cast<int>(data.size()));
}

int ibrdfA(int ud, const char* fileName) {
  Held c(ud);
  if (!fileName) return Fail(c.base(), EARG);
  if (c.h.isBoard) return Fail(c.base(), ECAP);
  OutputFile f(fileName);
  if (!f.isOpen()) return Fail(c.base(), EFSO);
  std::vector<char> chunk(65536);
  int total = 0, sta = 0;
  for (;;) {
    if (total >= kFileLimit) {
      sta = Fail(TIMO, EABO, total);
      break;
    }
    sta = Read(c, chunk.data(), std::min(static_cast<int>(chunk.size()), kFileLimit - total));
    int n = (sta & ERR) ? 0 : LastCount();
    if (n > 0 && !f.write(chunk.data(), static_cast<size_t>(n))) {
      sta = Fail(0, EFSO, total);
      break;
    }
    total += n;
    if (sta & (ERR | END)) {
      sta = Finish(sta, LastError(), total);
      break;
    }
  }
  if (!f.close() && !(sta & ERR)) sta = Fail(0, EFSO, total);
  return sta;
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

int ibwait(int ud, int mask) {
  Held c(ud);
  const int conditions = c.h.isBoard
                             ? (TIMO | END | SRQI | CMPL | LOK | REM | CIC | ATN | TACS | LACS | DTAS | DCAS)
                             : (TIMO | END | RQS | CMPL);
  if (mask & ~conditions) return Fail(c.base(), EARG);
  const int now = c.base() | CMPL;
  if (mask == 0 || (mask & now)) return Finish(now, 0, LastCount());
  if (c.h.isBoard && (mask & SRQI)) {
    int srq = WaitForSrq(c.b, c.base(), c.timeoutMs());
    if (srq < 0) return LastStatus();
    return Finish(now | (srq ? SRQI : TIMO), 0, LastCount());
  }
  // Nothing else the adapter can report comes about while the program waits.
  return Finish(now | TIMO, 0, LastCount());
}

int ibstop(int ud) {
  // Not under the board's lock: the call to end holds it.
  Handle& h = HandleAt(ud);
  if (Adapter* a = BoardAt(h.board).adapter.get()) a->Stop();
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
