// The calls on handles of a vxi11 board: a device handle's calls go to its
// link, a board handle's to the interface link (docmd for what only the
// interface does).
#include "calls.h"

#include <cstring>

#include "../router/file_transfers.h"
#include "../router/handle_options.h"

namespace vexon::vxi11 {

namespace {

struct Held {
  explicit Held(int ud) : h(HandleAt(ud)), b(BoardAt(h.board)), lock(b.lock) {}
  Handle& h;
  Board& b;
  std::lock_guard<std::mutex> lock;
  Session& s() { return *b.session; }
  Link& link() { return h.isBoard ? b.interfaceLink : h.link; }
  int base() const { return BaseOf(h); }
  uint32_t timeout() { return ServerTimeout(ConfigOf(h)[IbcTMO]); }
  int settle(const Reply& r, int cnt = 0) { return Settle(b, r, base(), cnt, link()); }
  int done(int extra = 0, int cnt = 0) { return Finish(base() | CMPL | extra, 0, cnt); }
};

bool BufferOk(const void* buf, int count) { return (buf || !count) && count >= 0; }

// A docmd value of n bytes, big-endian.
std::string Value(long v, int n) {
  std::string s(static_cast<size_t>(n), '\0');
  for (int i = 0; i < n; ++i) s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * (n - 1 - i))) & 0xFF);
  return s;
}

int BoardOnly(Held& c, long cmd, const std::string& value, long datasize) {
  if (!c.h.isBoard) return Fail(c.base(), EARG);
  Reply r = c.s().Docmd(c.link(), cmd, value.data(), value.size(), datasize, c.timeout(), nullptr);
  return r.ok() ? c.done() : c.settle(r);
}

// The status of a board handle's SRQ line, or -1 once the failure is left.
int SrqLine(Held& c) {
  bool srq = false;
  Reply r = c.s().BusStatus(c.b.interfaceLink, kStatusSrq, srq);
  if (!r.ok()) return c.settle(r), -1;
  return srq ? 1 : 0;
}

// Whether a device handle's link is the one of its address (ibdev), not a
// link of the server's own that a name of the bus file gives.
bool Addressed(Handle& h) {
  std::map<int, int>& config = ConfigOf(h);
  return h.link.name == DeviceLinkName(BoardAt(h.board).interfaceName, config[IbcPAD], config[IbcSAD]);
}

}  // namespace

int ibwrt(int ud, const void* buf, int count) {
  Held c(ud);
  if (!BufferOk(buf, count)) return Fail(c.base(), EARG);
  size_t written = 0;
  Reply r = c.s().Write(c.link(), buf, static_cast<size_t>(count), ConfigOf(c.h)[IbcEOT] != 0, c.timeout(),
                        written);
  return r.ok() ? c.done(0, static_cast<int>(written)) : c.settle(r, static_cast<int>(written));
}

int ibrd(int ud, void* buf, int count) {
  Held c(ud);
  if (!BufferOk(buf, count)) return Fail(c.base(), EARG);
  std::map<int, int>& config = ConfigOf(c.h);
  const int termChar = config[IbcEOSrd] ? (config[IbcEOSchar] & 0xFF) : -1;
  size_t got = 0;
  long reason = 0;
  Reply r = c.s().Read(c.link(), buf, static_cast<size_t>(count), termChar, c.timeout(), got, reason);
  if (!r.ok()) return c.settle(r, static_cast<int>(got));
  return c.done(reason & (kReasonEnd | kReasonChr) ? END : 0, static_cast<int>(got));
}

int ibclr(int ud) {
  Held c(ud);
  Reply r = c.s().Call(c.link(), Generic::Clear, c.timeout());
  return r.ok() ? c.done() : c.settle(r);
}

int ibtrg(int ud) {
  Held c(ud);
  Reply r = c.s().Call(c.link(), Generic::Trigger, c.timeout());
  return r.ok() ? c.done() : c.settle(r);
}

int ibloc(int ud) {
  Held c(ud);
  Reply r = c.s().Call(c.link(), Generic::Local, c.timeout());
  return r.ok() ? c.done() : c.settle(r);
}

int ibrsp(int ud, char* spr) {
  Held c(ud);
  if (!spr) return Fail(c.base(), EARG);
  uint8_t stb = 0;
  Reply r = c.s().ReadStb(c.link(), c.timeout(), stb);
  if (!r.ok()) return c.settle(r);
  *spr = static_cast<char>(stb);
  return c.done(0, 1);
}

int iblck(int ud, int v, int lockWaitTime, void*) {
  Held c(ud);
  if (v < 0 || v > 1 || lockWaitTime < 0) return Fail(c.base(), EARG);
  Reply r = v ? c.s().Lock(c.link(), lockWaitTime > 0, static_cast<uint32_t>(lockWaitTime))
              : c.s().Unlock(c.link());
  if (!v && r.kind == Reply::Refused && r.error == kNoLockHeld) return Fail(c.base(), ELCK);
  return r.ok() ? c.done() : c.settle(r);
}

int ibstop(int ud) {
  // The board's lock is held by the call in progress: the abort channel
  // goes beside it.
  Handle& h = HandleAt(ud);
  Board& b = BoardAt(h.board);
  const Link& link = h.isBoard ? b.interfaceLink : h.link;
  Reply r = b.session->Abort(link.lid);
  if (!r.ok() && r.kind == Reply::Refused) return Settle(b, r, BaseOf(h), 0, link);
  return Finish(BaseOf(h) | CMPL, 0, 0);
}

int ibcmd(int ud, const void* buf, int count) {
  Held c(ud);
  if (!c.h.isBoard || !BufferOk(buf, count)) return Fail(c.base(), EARG);
  if (count == 0) return c.done();
  Reply r = c.s().Docmd(c.link(), kCmdSendCommand, buf, static_cast<size_t>(count), 1, c.timeout(), nullptr);
  return r.ok() ? c.done(0, count) : c.settle(r);
}

int ibgts(int ud, int) {
  Held c(ud);
  return BoardOnly(c, kCmdAtn, Value(0, 2), 2);
}

int ibcac(int ud, int) {
  Held c(ud);
  return BoardOnly(c, kCmdAtn, Value(1, 2), 2);
}

int ibsic(int ud) {
  Held c(ud);
  return BoardOnly(c, kCmdIfc, std::string(), 0);
}

int iblines(int ud, short* lines) {
  Held c(ud);
  if (!c.h.isBoard || !lines) return Fail(c.base(), EARG);
  struct Line {
    int query, valid, bus;
  };
  constexpr Line kLines[] = {{kStatusNdac, 0x02, 0x0200}, {kStatusRen, 0x10, 0x1000}, {kStatusSrq, 0x20, 0x2000}};
  int value = 0;
  for (const Line& l : kLines) {
    bool on = false;
    Reply r = c.s().BusStatus(c.link(), l.query, on);
    if (r.kind == Reply::Refused && r.error == kNotSupported) continue;  // a line the server does not report
    if (!r.ok()) return c.settle(r);
    value |= l.valid | (on ? l.bus : 0);
  }
  *lines = static_cast<short>(value);
  return c.done();
}

int ibwait(int ud, int mask) {
  Handle& h = HandleAt(ud);
  Board& b = BoardAt(h.board);
  if (mask & ~WaitConditions(h.isBoard)) return Fail(BaseOf(h), EARG);
  if (!h.isBoard || !(mask & SRQI)) {
    if (!h.isBoard && (mask & RQS)) return Fail(0, ECAP);  // a device's RQS needs the router's polling
    return Finish(BaseOf(h) | CMPL, 0, 0);
  }
  // SRQI: the line once, then the interrupt channel until the timeout.
  long seen = 0;
  uint32_t timeout = 0;
  {
    Held c(ud);
    if (!SrqEnabled(b, c.base())) return LastStatus();
    seen = b.interrupts.count();
    const int line = SrqLine(c);
    if (line < 0) return LastStatus();
    if (line) return Finish(kBoardBase | CMPL | SRQI, 0, 0);
    timeout = c.timeout();
  }
  const bool timed = (mask & TIMO) && timeout != kForever;
  if (b.interrupts.WaitBeyond(seen, timed ? static_cast<int>(timeout) : -1) > seen)
    return Finish(kBoardBase | CMPL | SRQI, 0, 0);
  return Finish(kBoardBase | CMPL | TIMO, 0, 0);
}

int ibnotify(int ud, int mask, NotifyCallback cb, void* refData) {
  Handle& h = HandleAt(ud);
  Board& b = BoardAt(h.board);
  if (mask & ~(SRQI | RQS | TIMO | END | CMPL)) return Fail(BaseOf(h), EARG);
  if (mask && (!h.isBoard || mask != SRQI)) return Fail(BaseOf(h), ECAP);  // SRQ is what the server tells
  if (mask && !cb) return Fail(BaseOf(h), EARG);
  StopNotification(b);
  if (!mask) return Finish(BaseOf(h) | CMPL, 0, 0);
  {
    std::lock_guard l(b.lock);
    if (!SrqEnabled(b, kBoardBase)) return LastStatus();
  }
  std::lock_guard n(b.notifyLock);
  const long mine = ++b.notification.generation;
  b.notification.thread = std::thread([&b, ud, cb, refData, mine] {
    auto current = [&] {
      std::lock_guard n(b.notifyLock);
      return b.notification.generation == mine;
    };
    long seen = b.interrupts.count();
    bool fire = false;
    {  // the line as it is, then each notice of the interrupt channel
      std::lock_guard l(b.lock);
      bool srq = false;
      fire = b.session->BusStatus(b.interfaceLink, kStatusSrq, srq).ok() && srq;
    }
    while (current()) {
      if (!fire) {
        const long now = b.interrupts.WaitBeyond(seen, -1);
        fire = now > seen;
        seen = now;
        continue;
      }
      fire = false;
      if (!(cb(ud, kBoardBase | CMPL | SRQI, 0, 0, refData) & SRQI)) {
        std::lock_guard n(b.notifyLock);
        if (b.notification.generation == mine) ++b.notification.generation;
        return;
      }
    }
  });
  return Finish(kBoardBase | CMPL, 0, 0);
}

int AskOption(int ud, int option, int* value) {
  Held c(ud);
  if (int err = AskRefusal(c.h.isBoard, option, value); err != kAllowed) return Fail(c.base(), err);
  if (!c.h.isBoard && (option == IbcPAD || option == IbcSAD) && !Addressed(c.h))
    return Fail(c.base(), ECAP);  // a link of the server's own: its name tells no address
  int v = option == IbcBNA ? c.h.board : ConfigOf(c.h)[option];
  std::memcpy(value, &v, sizeof v);  // the caller's buffer may be unaligned
  return c.done();
}

int ConfigureOption(int ud, int option, int value) {
  Held c(ud);
  if (int err = ConfigRefusal(c.h.isBoard, option, value); err != kAllowed) return Fail(c.base(), err);
  if (!c.h.isBoard && (option == IbcPAD || option == IbcSAD)) return Fail(c.base(), ECAP);  // the link names the address
  if (c.h.isBoard && (option == IbcSRE || option == IbcPAD)) {
    const bool ren = option == IbcSRE;
    const std::string v = Value(ren ? value != 0 : value, ren ? 2 : 4);
    Reply r = c.s().Docmd(c.link(), ren ? kCmdRen : kCmdBusAddress, v.data(), v.size(), ren ? 2 : 4, c.timeout(),
                          nullptr);
    if (!r.ok()) return c.settle(r);
  }
  int prev = StoreOption(ConfigOf(c.h), option, value);
  return FinishWithValue(c.base() | CMPL, prev);
}

int SetEos(int ud, int v) {
  Held c(ud);
  if (!ValidEos(v)) return Fail(c.base(), EARG);
  int prev = StoreOption(ConfigOf(c.h), IbcEOS, v);
  return FinishWithValue(c.base() | CMPL, prev);
}

int ibwrtfA(int ud, const char* fileName) {
  const int base = BaseOf(HandleAt(ud));
  return WriteFromFile(fileName, base, [&](const void* buf, int count) { return ibwrt(ud, buf, count); });
}

int ibrdfA(int ud, const char* fileName) {
  Handle& h = HandleAt(ud);
  int eos = 0, stop = 0;
  {
    std::lock_guard l(BoardAt(h.board).lock);
    stop = ConfigOf(h)[IbcEOSrd];
    eos = ConfigOf(h)[IbcEOSchar];
  }
  return ReadIntoFile(fileName, BaseOf(h), stop != 0, eos, [&](void* buf, int count, int& got) {
    const int sta = ibrd(ud, buf, count);
    got = LastCount();
    return sta;
  });
}

}  // namespace vexon::vxi11
