// What the benchmarks share: child processes run on a script with their
// output sent to /dev/null, the scratch files they read, and the figures
// they print.
#pragma once
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// How a child's standard input reaches it: the file opened directly, or the
// file's bytes written into a pipe by this process while the child runs.
enum class Feed { kFile, kPipe };

// What a child process cost, from fork to its exit status (wait4).
struct ChildRun {
  bool ok = false;           // exited with status 0
  double wallSeconds = 0;
  double cpuSeconds = 0;     // user + system
  long peakRssKb = 0;        // ru_maxrss
};

// Runs argv (argv[0] looked up on PATH) with inputPath as standard input and
// standard output and error on /dev/null. driverDir, when not null, becomes
// LD_LIBRARY_PATH; otherwise LD_LIBRARY_PATH is removed.
ChildRun RunChild(const std::vector<std::string>& argv, const std::string& inputPath, Feed feed,
                  const char* driverDir);
// RunChild on the vorel binary of this build.
ChildRun RunVorel(const std::string& inputPath, Feed feed, const char* driverDir);

// A path in this run's scratch folder, which is removed at exit.
std::string ScratchPath(const char* name);
// Writes bytes to path; false when it cannot.
bool WriteFile(const std::string& path, const std::string& bytes);
// A script that turns quiet mode on, opens dmm and runs count commands that
// each reach the driver: ibwrt, ibrd, ibask and ibwait in turn.
std::string CommandScript(int count);

// The least of the values it has seen: figures are taken from the best of
// several runs, since other work on the machine only ever adds time.
struct Least {
  double value = 0;
  bool any = false;
  void Add(double v) {
    if (!any || v < value) value = v;
    any = true;
  }
};

// Puts value into the benchmark's table under name, as given.
void Report(benchmark::State& state, const char* name, double value);
// Fails the benchmark with a message when a child did not exit cleanly.
bool CheckRun(benchmark::State& state, const ChildRun& run, const char* what);

constexpr int kMillion = 1000000;
constexpr double kMiB = 1024.0 * 1024.0;
