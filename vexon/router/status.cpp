// The status words. Compiled once per library: the legacy build also copies
// them into its exported variables, the primary one exports the functions.
// Each call leaves them twice: for the calling thread (ThreadIbsta() and
// friends) and for the process, as the classic API's Ibsta() has them.
#include "status.h"

#include <atomic>
#include <cstdio>

#include <vexon.h>

#define VEXON_API extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<int> sta{0}, err{0}, cnt{0};

struct ThreadWords {
  int sta = 0, err = 0;
  long cnt = 0;
};
thread_local ThreadWords own;

}  // namespace

#ifdef VEXON_LEGACY
extern "C" {
__attribute__((visibility("default"))) int user_ibsta = 0;
__attribute__((visibility("default"))) int user_iberr = 0;
__attribute__((visibility("default"))) int user_ibcntl = 0;
}
// Threads may finish calls at the same time: the variables are written with
// atomic stores, so that no write tears or races another.
static void Publish() {
  std::atomic_ref<int>(user_ibsta).store(sta.load(std::memory_order_relaxed), std::memory_order_relaxed);
  std::atomic_ref<int>(user_iberr).store(err.load(std::memory_order_relaxed), std::memory_order_relaxed);
  std::atomic_ref<int>(user_ibcntl).store(cnt.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
#else
static void Publish() {}
VEXON_API int Ibsta(void) { return sta.load(std::memory_order_relaxed); }
VEXON_API int Iberr(void) { return err.load(std::memory_order_relaxed); }
VEXON_API int Ibcnt(void) { return cnt.load(std::memory_order_relaxed); }
#endif

VEXON_API int ThreadIbsta(void) { return own.sta; }
VEXON_API int ThreadIberr(void) { return own.err; }
VEXON_API int ThreadIbcnt(void) { return static_cast<int>(own.cnt); }
VEXON_API long ThreadIbcntl(void) { return own.cnt; }

namespace vexon {

int Finish(int s, int e, int c) {
  own.sta = s;
  if (s & ERR) own.err = e;
  own.cnt = c;
  sta.store(s, std::memory_order_relaxed);
  if (s & ERR) err.store(e, std::memory_order_relaxed);
  cnt.store(c, std::memory_order_relaxed);
  Publish();
  return s;
}

int Fail(int base, int e, int c) { return Finish(base | ERR, e, c); }

int FinishWithValue(int s, int value) {
  own = {s, value, 0};
  sta.store(s, std::memory_order_relaxed);
  err.store(value, std::memory_order_relaxed);
  cnt.store(0, std::memory_order_relaxed);
  Publish();
  return s;
}

int LastStatus() { return own.sta; }
int LastError() { return own.err; }
int LastCount() { return static_cast<int>(own.cnt); }
int ProcessCount() { return cnt.load(std::memory_order_relaxed); }

void ReportProblem(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "vexon: %s\n", text.c_str());
}

void ResetStatus() { FinishWithValue(0, 0); }

}  // namespace vexon
