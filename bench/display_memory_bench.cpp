// Peak memory of vorel reading 64 MB from the simulated bus's sequence source
// and showing it in full mode, output on /dev/null. Target: no more than the
// buffer plus a few megabytes.
#include <unistd.h>

#include <fstream>

#include "bench_support.h"

namespace {

// This process's resident size now. A child's peak figure is at least the
// parent's size when it forked (the kernel carries it over the exec), so
// the figure is vorel's own only while this is smaller.
double ResidentMB() {
  long pages = 0, resident = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / kMiB;
}

void BM_PeakMemoryRead64MB(benchmark::State& state) {
  const std::string input = ScratchPath("read_64mb.txt");
  WriteFile(input, "ibfind seq\nibrd 67108864\n");
  ChildRun run;
  for (auto _ : state) {
    // No driver folder: vorel finds the simulated bus through its RUNPATH.
    run = RunVorel(input, Feed::kFile, nullptr);
    if (!CheckRun(state, run, "vorel reading 64 MB")) return;
    state.SetIterationTime(run.wallSeconds);
  }
  if (ResidentMB() >= run.peakRssKb / 1024.0) {
    state.SkipWithError("the peak figure is this program's own size, not vorel's");
    return;
  }
  Report(state, "peak_MB", run.peakRssKb / 1024.0);
  Report(state, "over_buffer_MB", run.peakRssKb / 1024.0 - 64);
  state.SetLabel("target: over_buffer_MB a few");
}

}  // namespace

BENCHMARK(BM_PeakMemoryRead64MB)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
