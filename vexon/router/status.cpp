// The status words. Compiled once per library: the legacy build also copies
// them into its exported variables, the primary one exports the functions.
#include "status.h"

#include <atomic>
#include <cstdio>

#include "../../src/driver/gpib.h"

#define VEXON_API extern "C" __attribute__((visibility("default")))

namespace {
std::atomic<int> sta{0}, err{0}, cnt{0};
}

#ifdef VEXON_LEGACY
extern "C" {
__attribute__((visibility("default"))) int user_ibsta = 0;
__attribute__((visibility("default"))) int user_iberr = 0;
__attribute__((visibility("default"))) int user_ibcntl = 0;
}
static void Publish() {
  user_ibsta = sta.load(std::memory_order_relaxed);
  user_iberr = err.load(std::memory_order_relaxed);
  user_ibcntl = cnt.load(std::memory_order_relaxed);
}
#else
static void Publish() {}
VEXON_API int Ibsta(void) { return sta.load(std::memory_order_relaxed); }
VEXON_API int Iberr(void) { return err.load(std::memory_order_relaxed); }
VEXON_API int Ibcnt(void) { return cnt.load(std::memory_order_relaxed); }
#endif

namespace vexon {

int Finish(int s, int e, int c) {
  sta.store(s, std::memory_order_relaxed);
  if (s & ERR) err.store(e, std::memory_order_relaxed);
  cnt.store(c, std::memory_order_relaxed);
  Publish();
  return s;
}

int Fail(int base, int e, int c) { return Finish(base | ERR, e, c); }

int FinishWithValue(int s, int value) {
  sta.store(s, std::memory_order_relaxed);
  err.store(value, std::memory_order_relaxed);
  cnt.store(0, std::memory_order_relaxed);
  Publish();
  return s;
}

int LastStatus() { return sta.load(std::memory_order_relaxed); }
int LastError() { return err.load(std::memory_order_relaxed); }
int LastCount() { return cnt.load(std::memory_order_relaxed); }

void ReportProblem(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "vexon: %s\n", text.c_str());
}

void ResetStatus() { FinishWithValue(0, 0); }

}  // namespace vexon
