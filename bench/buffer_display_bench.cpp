// ShowBuffer on a 64 MB read, in process, with standard output on /dev/null,
// against xxd on the same 64 MB in the same run. Target: full mode at least
// 3 times xxd's throughput, brief and ascii faster still.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "display/buffer_display.h"

namespace {

constexpr uint32_t kBufferSize = 64u << 20;

// Pseudo-random bytes, printable and not, the same on every run. Each
// benchmark makes its own and frees it, so that the processes this program
// starts later do not inherit 64 MB of it in their peak memory figure.
std::vector<uint8_t> MakeBuffer() {
  std::vector<uint8_t> b(kBufferSize);
  uint64_t x = 0x9E3779B97F4A7C15u;
  for (uint8_t& byte : b) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    byte = static_cast<uint8_t>(x >> 24);
  }
  return b;
}

// xxd's wall time on the buffer written to a file; the best of three runs,
// measured once per run of the benchmarks.
double XxdSeconds() {
  static const double seconds = [] {
    const std::string path = ScratchPath("buffer.bin");
    {
      const std::vector<uint8_t> b = MakeBuffer();
      if (!WriteFile(path, std::string(b.begin(), b.end()))) return 0.0;
    }
    Least best;
    for (int i = 0; i < 3; ++i) {
      ChildRun run = RunChild({"xxd", path}, "/dev/null", Feed::kFile, nullptr);
      if (!run.ok) return 0.0;
      best.Add(run.wallSeconds);
    }
    return best.value;
  }();
  return seconds;
}

double MBPerSecond(double seconds) { return seconds > 0 ? kBufferSize / kMiB / seconds : 0; }

// Points standard output at /dev/null for as long as it lives.
class OutputToNull {
 public:
  OutputToNull() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~OutputToNull() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

void BM_Xxd(benchmark::State& state) {
  const double xxd = XxdSeconds();
  if (xxd == 0) {
    state.SkipWithError("xxd did not run");
    return;
  }
  for (auto _ : state) state.SetIterationTime(xxd);
  Report(state, "MB_per_s", MBPerSecond(xxd));
}

void ShowBufferIn(benchmark::State& state, int32_t mode) {
  const double xxd = XxdSeconds();
  const std::vector<uint8_t> b = MakeBuffer();
  const int32_t savedMode = displayMode;
  displayMode = mode;
  Least best;
  for (auto _ : state) {
    OutputToNull redirect;
    auto start = std::chrono::steady_clock::now();
    ShowBuffer(b.data(), kBufferSize);
    std::fflush(stdout);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    best.Add(seconds);
  }
  displayMode = savedMode;
  const double mbPerSecond = MBPerSecond(best.value);
  Report(state, "MB_per_s", mbPerSecond);
  if (xxd > 0) Report(state, "x_xxd", mbPerSecond / MBPerSecond(xxd));
  if (mode == DISPLAY_FULL) state.SetLabel("target: x_xxd >= 3");
  if (mode != DISPLAY_FULL) state.SetLabel("target: faster than full");
}

void BM_ShowBufferFull(benchmark::State& state) { ShowBufferIn(state, DISPLAY_FULL); }
void BM_ShowBufferAscii(benchmark::State& state) { ShowBufferIn(state, DISPLAY_ASCII); }
void BM_ShowBufferBrief(benchmark::State& state) { ShowBufferIn(state, DISPLAY_BRIEF); }

}  // namespace

BENCHMARK(BM_Xxd)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowBufferFull)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowBufferAscii)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowBufferBrief)->UseManualTime()->Unit(benchmark::kMillisecond);
