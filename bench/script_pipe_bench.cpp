// A million-line script on the null driver, fed on standard input through a
// pipe and run as a command file ("$ file"). Target: the pipe within 10% of
// the command file.
#include "bench_support.h"

namespace {

void BM_ScriptOnPipe(benchmark::State& state) {
  const std::string script = ScratchPath("pipe_million.txt");
  const std::string asFile = ScratchPath("pipe_as_file_input.txt");
  WriteFile(script, CommandScript(kMillion));
  WriteFile(asFile, "$ " + script + "\n");
  Least pipeWall, fileWall, pipeCpu, fileCpu;
  for (auto _ : state) {
    ChildRun file = RunVorel(asFile, Feed::kFile, VOREL_NULL_DRIVER_DIR);
    ChildRun pipe = RunVorel(script, Feed::kPipe, VOREL_NULL_DRIVER_DIR);
    if (!CheckRun(state, file, "vorel on the command file") ||
        !CheckRun(state, pipe, "vorel on the pipe"))
      return;
    state.SetIterationTime(pipe.wallSeconds);
    pipeWall.Add(pipe.wallSeconds);
    fileWall.Add(file.wallSeconds);
    pipeCpu.Add(pipe.cpuSeconds);
    fileCpu.Add(file.cpuSeconds);
  }
  Report(state, "pipe_s", pipeWall.value);
  Report(state, "file_s", fileWall.value);
  Report(state, "pipe_per_file", pipeWall.value / fileWall.value);
  Report(state, "cpu_pipe_per_file", pipeCpu.value / fileCpu.value);
  state.SetLabel("target: pipe_per_file <= 1.10");
}

}  // namespace

// The time shown is the wall time of the piped run.
BENCHMARK(BM_ScriptOnPipe)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);
