// The benchmark program's entry: standard output set up as vorel sets it up,
// so that the in-process display benchmark writes the way vorel does.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include <benchmark/benchmark.h>

#include "platform/console.h"

namespace {
// Standard output is now fully buffered: show each result as it comes, in
// colour on a terminal only.
class FlushingReporter : public benchmark::ConsoleReporter {
 public:
  FlushingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    std::cout.flush();
    std::fflush(stdout);
  }
};
}  // namespace

int main(int argc, char** argv) {
  InitConsoleOutput();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  FlushingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
