// A million-line script on the null driver, fed on standard input through a
// pipe and run as a command file ("$ file"). Target: the pipe within 10% of
// the command file.
#include "bench_support.h"

namespace {

void BM_ScriptOnPipe(benchmark::State& state) {
  const std::string script = ScratchPath("pipe_million.txt");
  const std::string asFile = ScratchPath("pipe_as_file_input.txt");
  WriteTextFile(script, CommandScript(kMillion));
  WriteTextFile(asFile, "$ " + script + "\n");
  double pipeWall = 0, fileWall = 0, pipeCpu = 0, fileCpu = 0;
  for (auto _ : state) {
    ChildRun file = RunVorel(asFile, Feed::kFile, VOREL_NULL_DRIVER_DIR);
    ChildRun pipe = RunVorel(script, Feed::kPipe, VOREL_NULL_DRIVER_DIR);
    if (!CheckRun(state, file, "vorel on the command file") ||
        !CheckRun(state, pipe, "vorel on the pipe"))
      return;
    state.SetIterationTime(pipe.wallSeconds);
    pipeWall += pipe.wallSeconds;
    fileWall += file.wallSeconds;
    pipeCpu += pipe.cpuSeconds;
    fileCpu += file.cpuSeconds;
  }
  const double runs = static_cast<double>(state.iterations());
  Report(state, "pipe_s", pipeWall / runs);
  Report(state, "file_s", fileWall / runs);
  Report(state, "pipe_cpu_s", pipeCpu / runs);
  Report(state, "file_cpu_s", fileCpu / runs);
  Report(state, "pipe_per_file", pipeWall / fileWall);
  state.SetLabel("target: pipe_per_file <= 1.10");
}

}  // namespace

// The time shown is the wall time of the piped run.
BENCHMARK(BM_ScriptOnPipe)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
