// vorel's own CPU time per command: a million commands run by the real binary
// on the null driver, less the cost of starting vorel on an empty script.
// Target: at most 1 microsecond a command in quiet mode.
#include "bench_support.h"

namespace {

struct OverheadFiles {
  std::string quietInput, reportsInput, emptyInput;
};

// Standard input runs the script as a command file: "-" first for quiet mode,
// "+" for the reports (which go to /dev/null).
const OverheadFiles& Files() {
  static const OverheadFiles files = [] {
    OverheadFiles f;
    std::string full = ScratchPath("overhead_million.txt");
    std::string empty = ScratchPath("overhead_empty.txt");
    std::string fullReports = ScratchPath("overhead_million_reports.txt");
    WriteFile(full, CommandScript(kMillion));
    WriteFile(empty, CommandScript(0));
    // The same commands without the script's "-" line.
    WriteFile(fullReports, CommandScript(kMillion).substr(2));
    f.quietInput = ScratchPath("overhead_quiet_input.txt");
    f.reportsInput = ScratchPath("overhead_reports_input.txt");
    f.emptyInput = ScratchPath("overhead_empty_input.txt");
    WriteFile(f.quietInput, "-\n$ " + full + "\n");
    WriteFile(f.reportsInput, "+\n$ " + fullReports + "\n");
    WriteFile(f.emptyInput, "-\n$ " + empty + "\n");
    return f;
  }();
  return files;
}

void CommandOverhead(benchmark::State& state, bool quiet) {
  const OverheadFiles& files = Files();
  Least startup, total;
  for (auto _ : state) {
    ChildRun empty = RunVorel(files.emptyInput, Feed::kFile, VOREL_NULL_DRIVER_DIR);
    ChildRun full = RunVorel(quiet ? files.quietInput : files.reportsInput, Feed::kFile,
                             VOREL_NULL_DRIVER_DIR);
    if (!CheckRun(state, empty, "vorel on the empty script") ||
        !CheckRun(state, full, "vorel on the million commands"))
      return;
    state.SetIterationTime(full.cpuSeconds - empty.cpuSeconds);
    startup.Add(empty.cpuSeconds);
    total.Add(full.cpuSeconds);
  }
  Report(state, "startup_ms", startup.value * 1e3);
  Report(state, "ns_per_cmd", (total.value - startup.value) / kMillion * 1e9);
  if (quiet) state.SetLabel("target: ns_per_cmd <= 1000");
}

void BM_CommandOverheadQuiet(benchmark::State& state) { CommandOverhead(state, true); }
void BM_CommandOverheadReports(benchmark::State& state) { CommandOverhead(state, false); }

}  // namespace

// The time shown is vorel's CPU time for the million commands.
BENCHMARK(BM_CommandOverheadQuiet)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommandOverheadReports)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
