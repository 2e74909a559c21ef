// The router's own cost per call: the same operation of the null back end,
// called directly and through the library's entry point. The difference is
// what the router adds (target: at most 50 ns).
#include <benchmark/benchmark.h>

#include "../../vexon/router/driver_api.h"
#include "../../vexon/router/router.h"

namespace {

// A bus of one board on the null back end, with one device handle open.
int NullDevice() {
  static const int ud = [] {
    vexon::BusConfig bus;
    vexon::BoardSettings board;
    board.backend = "null";
    bus.boards.push_back(board);
    vexon::UseBus(bus);
    return ibdev(0, 1, 0, 13, 1, 0);
  }();
  return ud;
}

void BM_NullBackendDirect(benchmark::State& state) {
  const int ud = NullDevice();
  const vexon::Backend* b = vexon::FindBackend("null");
  char buf[16];
  for (auto _ : state) benchmark::DoNotOptimize(b->ibrd(ud, buf, sizeof buf));
}
BENCHMARK(BM_NullBackendDirect);

void BM_RouterHandleCall(benchmark::State& state) {
  const int ud = NullDevice();
  char buf[16];
  for (auto _ : state) benchmark::DoNotOptimize(ibrd(ud, buf, sizeof buf));
}
BENCHMARK(BM_RouterHandleCall);

void BM_NullBackendRoutineDirect(benchmark::State& state) {
  NullDevice();
  const vexon::Backend* b = vexon::FindBackend("null");
  short result = 0;
  for (auto _ : state) {
    b->TestSRQ(0, &result);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_NullBackendRoutineDirect);

void BM_RouterRoutine(benchmark::State& state) {
  NullDevice();
  short result = 0;
  for (auto _ : state) {
    TestSRQ(0, &result);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RouterRoutine);

void BM_RouterStatus(benchmark::State& state) {
  NullDevice();
  for (auto _ : state) benchmark::DoNotOptimize(Ibsta() + Iberr() + Ibcnt());
}
BENCHMARK(BM_RouterStatus);

}  // namespace

BENCHMARK_MAIN();
