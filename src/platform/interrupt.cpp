// SIGINT on Linux: the handler only notes the time and the request and
// wakes a watcher thread, which may then call the driver (ibstop) where a
// signal handler may not.
#include "platform/interrupt.h"

#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<bool> requested{false};
std::atomic<bool> running{true};
std::atomic<long long> lastInterruptMs{-1000000};
InterruptAction interruptAction = nullptr;
sem_t wake;

long long NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Ends the process as SIGINT does by default, so that a shell sees why.
[[noreturn]] void EndByInterrupt() {
  signal(SIGINT, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGINT);
  // Where the default action is not had (ThreadSanitizer keeps the signal).
  _exit(128 + SIGINT);
}

void OnInterrupt(int) {
  const int savedErrno = errno;
  const long long now = NowMs();
  if (!running.load() || now - lastInterruptMs.load() < 1000) EndByInterrupt();
  lastInterruptMs.store(now);
  requested.store(true);
  sem_post(&wake);
  errno = savedErrno;
}

void* Watch(void*) {
  for (;;) {
    if (sem_wait(&wake) != 0) continue;
    if (interruptAction) interruptAction();
  }
  return nullptr;
}

}  // namespace

void StartInterruptWatch(InterruptAction action) {
  static bool started = false;
  if (started) return;
  started = true;
  interruptAction = action;
  sem_init(&wake, 0, 0);
  // The watcher never takes the signal itself.
  sigset_t block, previous;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  pthread_sigmask(SIG_BLOCK, &block, &previous);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, Watch, nullptr) == 0) pthread_detach(thread);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

void SetCommandRunning(bool now) { running.store(now); }
bool InterruptRequested() { return requested.load(std::memory_order_relaxed); }
void ClearInterrupt() { requested.store(false); }
