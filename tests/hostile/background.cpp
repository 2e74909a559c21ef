// The hostile driver's threads: notification callbacks from a thread of its
// own, and asynchronous reads whose data arrives during later calls.
#include <utility>

#include "hostile_driver.h"
#include "hostile_mode.h"
#include "stepped_thread.h"

namespace hostile {

namespace {

struct Firing {
  NotifyCallback cb = nullptr;
  int ud = 0, sta = 0, err = 0, cnt = 0;
  void* refData = nullptr;
  int Fire() const { return cb(ud, sta, err, cnt, refData); }
};

struct Background {
  SteppedThread notifier;
  SteppedThread reader;
  Firing atUnload;
  // Set by the reader's last step; the hand-over in Step orders it before
  // the calling thread reads it.
  int readUd = -1;
  int finishedCount = -1;

  // The library is unloaded at the program's exit: the reader ends its work,
  // and a callback kept for this moment comes from a thread of its own.
  ~Background() {
    notifier.Finish();
    reader.Finish();
    if (!atUnload.cb) return;
    SteppedThread last;
    last.Start([f = atUnload](int) { return f.Fire(), false; });
    last.Finish();
  }
};

Background& background() {
  static Background b;
  return b;
}

}  // namespace

void BeginCall() {
  Background& b = background();
  b.notifier.Step();
  b.reader.Step();
}

void BeginIoCall(int ud) {
  Background& b = background();
  b.notifier.Step();
  if (ud == b.readUd)
    b.reader.Finish();
  else
    b.reader.Step();
}

void ArmNotification(int ud, NotifyCallback cb, void* refData) {
  const Mode& m = CurrentMode();
  Firing f{cb, ud, m.status.value_or(CMPL), m.error.value_or(0), m.count.value_or(0), refData};
  if (!cb) return;
  switch (m.notify) {
    case Notify::Now:
      f.Fire();
      break;
    case Notify::Later:
      // A callback that returns a mask is armed again for the call after.
      background().notifier.Start([f](int) { return f.Fire() != 0; });
      break;
    case Notify::Unload:
      background().atUnload = f;
      break;
  }
}

bool StartAsyncRead(int ud, void* buf, int count) {
  Background& b = background();
  auto* p = static_cast<uint8_t*>(buf);
  if (!p || count <= 0) return false;
  // One read at a time: an earlier one ends first.
  b.reader.Finish();
  b.readUd = ud;
  if (!CurrentMode().asyncRead) {
    FillData(p, 0, count);
    b.finishedCount = count;
    return false;
  }
  b.reader.Start([&b, p, count](int step) {
    const int half = count / 2;
    if (step == 0) {
      FillData(p, 0, half);
      return true;
    }
    FillData(p, half, count);
    b.finishedCount = count;
    return false;
  });
  return true;
}

int TakeAsyncReadCount(int ud) {
  Background& b = background();
  if (ud != b.readUd) return -1;
  b.readUd = -1;
  return std::exchange(b.finishedCount, -1);
}

}  // namespace hostile
