// The asynchronous engine: a thread of the library's own that moves the data of
// ibrda, ibwrta and ibcmda and calls ibnotify callbacks. Each driver call that
// leaves work behind waits until the engine has had one turn, so a transcript
// shows the same lines in the same places on every run.
#include <condition_variable>
#include <cstdint>
#include <thread>
#include <vector>

#include "calls.h"

namespace vorel::sim {

namespace {

thread_local bool engineThread = false;

struct Firing {
  int ud;
  NotifyCallback cb;
  void* ref;
  int sta, err, cnt;
  bool reset;  // sent because the handle was reset: never rearmed
};

// Notices of notifications cancelled by a reset, sent on the next turn.
std::vector<Firing>& resetNotices() {
  static std::vector<Firing> v;
  return v;
}

// One attempt at a running transfer. A read from a silent talker stays running.
void advance(int ud) {
  Bus& b = bus();
  Handle& h = b.handles[ud];
  Board& board = b.boards[boardIndex(ud)];
  auto* p = static_cast<uint8_t*>(h.ioBuf);
  int sta = 0, err = 0, cnt = 0;
  if (h.ioKind == IoKind::Command) {
    runCommands(boardIndex(ud), p, h.ioCount);
    sta = CMPL;
    cnt = h.ioCount;
  } else if (isBoardHandle(ud)) {
    if (h.ioKind == IoKind::Write) {
      for (int l : board.listeners) b.devices[l].model->listen(b.devices[l].state, p,
                                                               static_cast<size_t>(h.ioCount), true);
      sta = CMPL;
      cnt = h.ioCount;
    } else {
      if (board.talker < 0) return;  // nobody talks: wait for the timeout
      sta = readFrom(b.devices[board.talker], p, h.ioCount, b.cfg(ud, IbcEOSrd) != 0,
                     b.cfg(ud, IbcEOSchar), 0, err, cnt, kNoWait);
      if (sta & ERR) return;
    }
  } else {
    Device* d = deviceOf(ud);
    if (!d) return;
    if (h.ioKind == IoKind::Write) {
      d->model->listen(d->state, p, static_cast<size_t>(h.ioCount), b.cfg(ud, IbcEOT) != 0);
      sta = CMPL;
      cnt = h.ioCount;
    } else {
      sta = readFrom(*d, p, h.ioCount, b.cfg(ud, IbcEOSrd) != 0, b.cfg(ud, IbcEOSchar), 0, err,
                     cnt, kNoWait);
      if (sta & ERR) return;
    }
  }
  h.io = Io::Done;
  h.ioSta = sta & (CMPL | END | ERR | TIMO);
  h.ioErr = err;
  h.ioCnt = cnt;
}

void turn() {
  std::vector<Firing> firings;
  {
    std::lock_guard l(busMutex());
    Bus& b = bus();
    for (int ud = 0; ud < static_cast<int>(b.handles.size()); ++ud)
      if (b.handles[ud].used && b.handles[ud].io == Io::Running) advance(ud);
    firings.swap(resetNotices());
    for (int ud = 0; ud < static_cast<int>(b.handles.size()); ++ud) {
      Handle& h = b.handles[ud];
      if (!h.used || h.notifyMask == 0) continue;
      int s = handleStatus(ud);
      // A timeout in the mask is due at once: simulated time does not pass.
      if (!(s & h.notifyMask) && !(h.notifyMask & TIMO)) continue;
      if (!(s & h.notifyMask)) s |= TIMO;
      bool completes = h.io == Io::Done && (h.notifyMask & CMPL);
      firings.push_back({ud, h.notifyCb, h.notifyRef, s, (s & ERR) ? h.ioErr : 0,
                         h.io == Io::Done ? h.ioCnt : vexon::ProcessCount(), false});
      h.notifyMask = 0;
      if (completes) h.io = Io::Idle;
    }
  }
  for (const Firing& f : firings) {
    int again = f.cb ? f.cb(f.ud, f.sta, f.err, f.cnt, f.ref) : 0;
    if (again == 0 || f.reset) continue;
    std::lock_guard l(busMutex());
    Handle& h = bus().handles[f.ud];
    if (h.used && h.notifyMask == 0 && h.notifyCb == f.cb) h.notifyMask = again;
  }
}

class Engine {
 public:
  ~Engine() {
    {
      std::lock_guard l(m_);
      if (!thread_.joinable()) return;
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void pump() {
    std::unique_lock l(m_);
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    uint64_t mine = ++requested_;
    wake_.notify_one();
    done_.wait(l, [&] { return completed_ >= mine; });
  }

 private:
  void run() {
    engineThread = true;
    std::unique_lock l(m_);
    for (;;) {
      wake_.wait(l, [&] { return quit_ || requested_ > completed_; });
      if (quit_) return;
      uint64_t target = requested_;
      l.unlock();
      turn();
      l.lock();
      completed_ = target;
      done_.notify_all();
    }
  }

  std::mutex m_;
  std::condition_variable wake_, done_;
  uint64_t requested_ = 0, completed_ = 0;
  bool quit_ = false;
  std::thread thread_;
};

Engine& engine() {
  static Engine e;
  return e;
}

}  // namespace

bool onEngineThread() { return engineThread; }

void advanceTransfer(int ud) { advance(ud); }

bool engineHasWork() {
  if (!resetNotices().empty()) return true;
  for (const auto& h : bus().handles)
    if (h.used && (h.io == Io::Running || h.notifyMask != 0)) return true;
  return false;
}

void pumpEngine() { engine().pump(); }

void resetSimulation() {
  std::lock_guard l(busMutex());
  bus() = Bus();
  resetNotices().clear();
}

void startTransfer(int ud, IoKind kind, void* buf, int count) {
  Handle& h = bus().handles[ud];
  h.io = Io::Running;
  h.ioKind = kind;
  h.ioBuf = buf;
  h.ioCount = count;
  h.ioSta = h.ioErr = h.ioCnt = 0;
}

void abortTransfer(int ud) {
  Handle& h = bus().handles[ud];
  h.io = Io::Idle;
  h.ioBuf = nullptr;
}

// The status a wait or a notification sees on a handle: its own bits, CMPL
// when no transfer runs, and the outcome of a finished transfer.
int handleStatus(int ud) {
  const Handle& h = bus().handles[ud];
  int s = baseStatus(ud);
  if (h.io == Io::Idle) s |= CMPL;
  else if (h.io == Io::Done) s |= h.ioSta;
  return s;
}

// A reset cancels an armed notification: the callback hears of it once, with ERST.
void queueResetNotice(int ud) {
  Handle& h = bus().handles[ud];
  if (h.notifyMask == 0) return;
  resetNotices().push_back({ud, h.notifyCb, h.notifyRef, ERR | baseStatus(ud), ERST, 0, true});
  h.notifyMask = 0;
}

}  // namespace vorel::sim
