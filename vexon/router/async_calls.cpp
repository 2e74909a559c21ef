// The router's ibrda, ibwrta, ibwait, ibstop, ibonl and ibnotify for back ends
// without asynchronous calls of their own. One table of transfers, one lock:
// a transfer is a thread running the back end's synchronous call, a
// notification a thread that waits for the handle's conditions and calls the
// program's function outside the lock. A close or a reset ends an armed
// notification; its function hears of that once, on a thread of its own.
#include "async_calls.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "handle_options.h"
#include "router.h"
#include "status.h"
#include "timeouts.h"

namespace vexon {

namespace {

using Clock = std::chrono::steady_clock;

// How often a notification on a board looks at the SRQ line.
constexpr auto kSrqLook = std::chrono::milliseconds(20);
// How often ibstop asks the back end again to end a transfer that has not
// reached it yet.
constexpr auto kStopAgain = std::chrono::milliseconds(20);

enum class Io { Idle, Running, Done };

struct Transfer {
  Io io = Io::Idle;
  int base = 0;                   // the handle's own status bits (CIC, ATN of a board)
  int sta = 0, err = 0, cnt = 0;  // a finished transfer's
  std::thread worker;
  long generation = 0;  // a notification runs while this stays its own
  int mask = 0;         // armed: what it waits for; 0 while its function runs
  NotifyCallback cb = nullptr;
  void* ref = nullptr;
  int64_t timeoutNs = kNoTimeLimit;
  std::thread watcher;
  std::thread notice;  // tells the function of a close or a reset
};

void Collect(Transfer& x) {
  x.io = Io::Idle;
  if (x.worker.joinable()) x.worker.join();  // finished: it only returns
}

struct Table {
  std::mutex m;
  std::condition_variable changed;
  Transfer handles[kMaxHandles];

  // At exit: every notification ended, every transfer stopped and joined.
  ~Table();
};

Table& Transfers() {
  static Table t;
  return t;
}

bool BoardHandle(int ud) { return ud < kFirstDeviceHandle; }

// The handle's own status bits, as the back end's ibwait answers at once.
int BaseBits(const Backend& b, int ud) { return OwnBits(b.own.ibwait, ud); }

// What a wait or a notification sees: CMPL unless a transfer runs, and a
// finished transfer's outcome.
int StatusOf(const Transfer& x) {
  switch (x.io) {
    case Io::Running:
      return x.base;
    case Io::Done:
      return x.base | x.sta;
    case Io::Idle:
      break;
  }
  return x.base | CMPL;
}

void Finished(int ud, int sta, int err, int cnt) {
  Table& t = Transfers();
  std::lock_guard l(t.m);
  Transfer& x = t.handles[ud];
  x.io = Io::Done;
  x.sta = (sta & (ERR | TIMO | END)) | CMPL;
  x.err = (sta & ERR) ? err : 0;
  x.cnt = cnt;
  t.changed.notify_all();
}

template <bool kRead>
int Start(int ud, void* buf, int count) {
  const Backend* b = BackendOfHandle(ud);
  const int base = BaseBits(*b, ud);
  if ((!buf && count) || count < 0) return Fail(base, EARG);
  Table& t = Transfers();
  std::lock_guard l(t.m);
  Transfer& x = t.handles[ud];
  if (x.io == Io::Running) return Fail(base, EOIP);
  Collect(x);
  // The thread reports under the lock held here, so it finds Running set.
  x.worker = std::thread([b, ud, buf, count] {
    const int sta = kRead ? b->ibrd(ud, buf, count) : b->ibwrt(ud, buf, count);
    Finished(ud, sta, LastError(), LastCount());
  });
  x.io = Io::Running;
  x.base = base;
  return Finish(base, 0, 0);
}

int ReadAsync(int ud, void* buf, int count) { return Start<true>(ud, buf, count); }
int WriteAsync(int ud, const void* buf, int count) { return Start<false>(ud, const_cast<void*>(buf), count); }

int Wait(int ud, int mask) {
  const Backend* b = BackendOfHandle(ud);
  Table& t = Transfers();
  bool running = false;
  {
    std::unique_lock l(t.m);
    Transfer& x = t.handles[ud];
    if (mask && x.mask && !(mask & ~WaitConditions(BoardHandle(ud)))) return Fail(x.base, EWIP);
    if (x.io != Io::Idle && !(mask & ~WaitConditions(BoardHandle(ud)))) {
      // A transfer ends by the handle's timeout itself: wait for it.
      if (mask & (CMPL | END)) t.changed.wait(l, [&] { return x.io != Io::Running; });
      const int s = StatusOf(x);
      if (mask == 0 || (s & mask)) {
        const bool done = x.io == Io::Done;
        const int err = done ? x.err : 0, cnt = done ? x.cnt : LastCount();
        if (done && (mask & CMPL)) Collect(x);
        return Finish(s, err, cnt);
      }
      running = x.io == Io::Running;
    }
  }
  const int sta = b->own.ibwait(ud, mask);
  return running ? Finish(sta & ~CMPL, LastError(), LastCount()) : sta;
}

// Ends the handle's transfer, asking the back end to end its call until it
// has; false when none ran. The finished transfer's outcome is dropped.
bool StopTransfer(Table& t, const Backend& b, int ud, int& base) {
  std::unique_lock l(t.m);
  Transfer& x = t.handles[ud];
  base = x.base;
  const bool running = x.io == Io::Running;
  while (x.io == Io::Running) {
    l.unlock();
    b.own.ibstop(ud);
    l.lock();
    t.changed.wait_for(l, kStopAgain, [&] { return x.io != Io::Running; });
  }
  Collect(x);
  return running;
}

int Stop(int ud) {
  const Backend* b = BackendOfHandle(ud);
  int base = 0;
  if (StopTransfer(Transfers(), *b, ud, base)) return Fail(base | CMPL, EABO);
  return b->own.ibstop(ud);
}

// Disarms the notification of x (under the lock) and hands over its thread.
std::thread Disarm(Table& t, Transfer& x) {
  ++x.generation;
  x.mask = 0;
  t.changed.notify_all();
  return std::move(x.watcher);
}

// Waits for a disarmed notification's thread to end; from within its own
// function the thread is left to end itself.
void Retire(std::thread old) {
  if (!old.joinable()) return;
  if (old.get_id() == std::this_thread::get_id()) old.detach();
  else old.join();
}

// Ends the router's notification on ud; armed (not in its function), it
// is left in ended.
void EndNotification(Table& t, int ud, Transfer* ended = nullptr) {
  std::unique_lock l(t.m);
  Transfer& x = t.handles[ud];
  if (ended && x.mask) {
    ended->mask = x.mask;
    ended->cb = x.cb;
    ended->ref = x.ref;
  }
  std::thread old = Disarm(t, x);
  l.unlock();
  Retire(std::move(old));
}

// A close or a reset ends what runs on the handle. A notification that was
// armed hears of it after the call, once, with ERR and ERST (ibcntl 0), and
// what its function returns arms nothing.
int Online(int ud, int v) {
  const Backend* b = BackendOfHandle(ud);
  if (v != 0 && v != 1) return b->own.ibonl(ud, v);
  Table& t = Transfers();
  Transfer ended;
  EndNotification(t, ud, &ended);
  const int base = ended.mask ? BaseBits(*b, ud) : 0;
  int stopped = 0;
  StopTransfer(t, *b, ud, stopped);
  const int sta = b->own.ibonl(ud, v);
  if (!ended.mask || (sta & ERR)) return sta;
  std::thread previous;
  {
    std::lock_guard l(t.m);
    Transfer& x = t.handles[ud];
    previous = std::move(x.notice);
    x.notice = std::thread(ended.cb, ud, ERR | base, ERST, 0, ended.ref);
  }
  Retire(std::move(previous));
  return sta;
}

// The notification's thread: waits for a condition of the mask (TIMO: the
// handle's timeout since it was armed), calls the function outside the
// lock, and waits again for the mask it returns, until it returns 0 or the
// notification is ended. Transfers the router runs it sees in the table (and
// a board's SRQ line through TestSRQ); a back end with transfers of its own
// it asks with ibwait(ud, 0) every little while.
void Watch(const Backend* b, int ud, long generation) {
  Table& t = Transfers();
  const bool board = BoardHandle(ud), ours = b->ibwait == &Wait;
  std::unique_lock l(t.m);
  Transfer& x = t.handles[ud];
  const auto limit = [&] {
    return x.timeoutNs == kNoTimeLimit ? Clock::time_point::max()
                                       : Clock::now() + std::chrono::nanoseconds(x.timeoutNs);
  };
  auto deadline = limit();
  while (x.generation == generation) {
    const int mask = x.mask;
    const bool polled = !ours || (board && (mask & SRQI));
    int s = StatusOf(x), err = 0, cnt = 0;
    if (polled) {
      l.unlock();
      short line = 0;
      if (!ours) s = b->own.ibwait(ud, 0);
      else b->TestSRQ(ud, &line);  // a board handle's number is its board's
      l.lock();
      if (x.generation != generation) return;
      if (ours) s = StatusOf(x) | (line ? SRQI : 0);
    }
    bool fire = (s & mask & ~TIMO) != 0;
    if (!fire && (mask & TIMO) && Clock::now() >= deadline) {
      fire = true;
      s |= TIMO;
    }
    if (!fire) {
      auto until = (mask & TIMO) ? deadline : Clock::time_point::max();
      if (polled) until = std::min(until, Clock::now() + kSrqLook);
      if (until == Clock::time_point::max()) t.changed.wait(l);
      else t.changed.wait_until(l, until);
      continue;
    }
    const NotifyCallback cb = x.cb;
    void* const ref = x.ref;
    x.mask = 0;
    if (ours) {
      const bool done = x.io == Io::Done;
      err = (s & ERR) ? x.err : 0;
      cnt = done ? x.cnt : 0;
      if (done && (mask & CMPL)) Collect(x);
      l.unlock();
    } else {
      l.unlock();
      if ((mask & CMPL) && (s & CMPL)) {  // completes the back end's transfer
        s = b->own.ibwait(ud, CMPL) | (s & TIMO);
        err = (s & ERR) ? LastError() : 0;
        cnt = LastCount();
      }
    }
    const int again = cb(ud, s, err, cnt, ref);
    l.lock();
    if (x.generation != generation) return;
    x.mask = again & WaitConditions(board) & ~(board ? 0 : RQS);
    if (!x.mask) return;
    deadline = limit();
  }
}

int Notify(int ud, int mask, NotifyCallback cb, void* refData) {
  const Backend* b = BackendOfHandle(ud);
  if (b->own.ibnotify) {  // the back end's own where it can; the router's for the rest
    EndNotification(Transfers(), ud);
    const int sta = b->own.ibnotify(ud, mask, cb, refData);
    if (!(sta & ERR) || LastError() != ECAP) return sta;
    b->own.ibnotify(ud, 0, nullptr, nullptr);
  }
  const bool board = BoardHandle(ud);
  const int base = BaseBits(*b, ud);
  if ((mask & ~WaitConditions(board)) || (mask && !cb)) return Fail(base, EARG);
  // A device's RQS needs its status byte, which only a serial poll gives and
  // which the program's own ibrsp would then miss.
  if (!board && (mask & RQS) && b->ibwait == &Wait) return Fail(base, ECAP);
  int code = 0;
  const int64_t timeoutNs =
      (mask & TIMO) && !(b->ibask(ud, IbcTMO, &code) & ERR) ? TimeoutNs(code) : kNoTimeLimit;
  Table& t = Transfers();
  std::thread old;
  int s = 0, cnt = 0;
  {
    std::lock_guard l(t.m);
    Transfer& x = t.handles[ud];
    old = Disarm(t, x);
    if (x.io == Io::Idle) x.base = base;
    s = StatusOf(x);
    cnt = x.io == Io::Done ? x.cnt : 0;
    if (mask) {
      x.watcher = std::thread(Watch, b, ud, x.generation);
      x.mask = mask;
      x.cb = cb;
      x.ref = refData;
      x.timeoutNs = timeoutNs;
    }
  }
  Retire(std::move(old));
  return Finish(s & ~(ERR | TIMO), 0, cnt);
}

Table::~Table() {
  for (int ud = 0; ud < kMaxHandles; ++ud) {
    EndNotification(*this, ud);
    int base = 0;
    if (const Backend* b = BackendOfHandle(ud)) StopTransfer(*this, *b, ud, base);
    Collect(handles[ud]);
    Retire(std::move(handles[ud].notice));
  }
}

}  // namespace

void BuildAsyncCalls(const Backend& given, Backend& b) {
  const bool transfers = !given.ibrda && !given.ibwrta && (given.ibrd || given.ibwrt);
  if (!transfers && (given.ibnotify || !given.ibwait)) return;
  b.own.ibwait = b.ibwait;
  b.own.ibstop = b.ibstop;
  b.own.ibonl = b.ibonl;
  b.own.ibnotify = given.ibnotify;
  b.ibnotify = &Notify;
  b.ibonl = &Online;
  if (!transfers) return;
  if (given.ibrd) b.ibrda = &ReadAsync;
  if (given.ibwrt) b.ibwrta = &WriteAsync;
  b.ibwait = &Wait;
  b.ibstop = &Stop;
}

}  // namespace vexon
