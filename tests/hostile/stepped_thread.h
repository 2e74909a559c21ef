// A thread of the library that works in steps, each one taken while a driver
// call of the program waits for it: the work happens on another thread, during
// a later call, and a session prints the same lines on every run.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace hostile {

class SteppedThread {
 public:
  SteppedThread() = default;
  SteppedThread(const SteppedThread&) = delete;
  SteppedThread& operator=(const SteppedThread&) = delete;
  ~SteppedThread() { Finish(); }

  // Finishes any earlier work, then starts a thread that runs step(0),
  // step(1), ... one per Step(); step returns false after its last one.
  void Start(std::function<bool(int)> step);
  // Lets the thread take its next step and waits for it; joins a thread whose
  // work is done. Nothing happens without a thread.
  void Step();
  // Steps until the work is done and joins the thread.
  void Finish();

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool go_ = false;
  bool done_ = false;
};

}  // namespace hostile
