// The stepped thread: one condition variable hands each step over and back.
#include "stepped_thread.h"

#include <utility>

namespace hostile {

void SteppedThread::Start(std::function<bool(int)> step) {
  Finish();
  go_ = false;
  done_ = false;
  thread_ = std::thread([this, step = std::move(step)] {
    for (int n = 0;; ++n) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return go_; });
      lock.unlock();
      const bool more = step(n);
      lock.lock();
      go_ = false;
      done_ = !more;
      changed_.notify_all();
      if (!more) return;
    }
  });
}

void SteppedThread::Step() {
  if (!thread_.joinable()) return;
  std::unique_lock lock(mutex_);
  if (done_) {
    lock.unlock();
    thread_.join();
    return;
  }
  go_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !go_; });
}

void SteppedThread::Finish() {
  while (thread_.joinable()) Step();
}

}  // namespace hostile
