// The real program at its limits: a million-line script, lines of a megabyte,
// command files nested to the limit, and input that ends at every prompt.
// Each run must end by itself with status 0; memory is compared as the peak
// resident size of a large run against a small one.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/run_vorel.h"
#include "core/command_catalogue.h"

namespace {

std::string Repeat(const std::string& line, int times) {
  std::string s;
  s.reserve(line.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) s += line;
  return s;
}

// A large run may use at most this much more memory than a small one. The
// sanitizers keep freed memory in quarantine and their own tables grow with
// every allocation, so there the comparison says nothing.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kFlatKb = 1L << 30;
#else
constexpr long kFlatKb = 4096;
#endif

TEST(Limits, MillionLineScriptOnStandardInputAndAsAFile) {
  const std::string body = Repeat("ibwait 0\nibask 3\n", 500000);
  const std::string big = WriteFile("million", "ibfind gpib0\n" + body);
  const std::string small = WriteFile("thousand", "ibfind gpib0\n" + body.substr(0, 16 * 1000));
  Outcome smallRun = RunVorel(small, {}, false);
  Outcome bigRun = RunVorel(big, {}, false);
  ASSERT_EQ(smallRun.status, 0);
  ASSERT_EQ(bigRun.status, 0);
  EXPECT_LT(bigRun.peakKb - smallRun.peakKb, kFlatKb);
  // The same lines as a command file, run from the console.
  const std::string script = WriteFile("million_file", body);
  const std::string runner = WriteFile("run_million", "ibfind gpib0\n$ " + script + "\nprint \"done\"\n");
  Outcome fileRun = RunVorel(runner, {}, false);
  EXPECT_EQ(fileRun.status, 0);
  EXPECT_LT(fileRun.peakKb - smallRun.peakKb, kFlatKb);
  for (const auto& p : {big, small, script, runner}) std::remove(p.c_str());
}

TEST(Limits, LinesOfAMegabyte) {
  const std::string mega(1 << 20, 'x');
  // An overlong string is cut with the line and asks again; the empty line
  // abandons the command and the next one runs.
  const std::string input = WriteFile(
      "mega", "ibfind loop\nprint \"" + mega + "\"\n\nibwrt \"" + mega + "\"\n\n" + mega + "\n" +
                  "ibwrt " + Repeat("1 ", 1 << 19) + "\n\nprint \"alive\"\n");
  const std::string small = WriteFile("mega_small", "ibfind loop\nprint \"alive\"\n");
  Outcome run = RunVorel(input, {}, true);
  Outcome base = RunVorel(small, {}, false);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find(": alive\n"), std::string::npos);
  EXPECT_LT(run.peakKb - base.peakKb, kFlatKb);
  std::remove(input.c_str());
  std::remove(small.c_str());
}

TEST(Limits, CommandFilesNestedToTheLimit) {
  // Standard input runs file 0, file k runs file k + 1, the deepest prints a
  // word: a chain of kMaxFileNesting files just fits.
  auto chain = [](int depth) {
    std::vector<std::string> files(static_cast<size_t>(depth));
    for (int k = depth - 1; k >= 0; --k) {
      const std::string text = k == depth - 1 ? "print \"deepest\"\n" : "$ " + files[static_cast<size_t>(k) + 1] + "\n";
      files[static_cast<size_t>(k)] = WriteFile("nest" + std::to_string(k), text);
    }
    const std::string start = WriteFile("nest_start", "$ " + files[0] + "\nprint \"back\"\n");
    Outcome o = RunVorel(start, {}, true);
    for (const auto& f : files) std::remove(f.c_str());
    std::remove(start.c_str());
    return o;
  };
  const std::string tooDeep = "Command files nested too deeply (a file runs itself?): file not run";
  Outcome fits = chain(16);
  EXPECT_EQ(fits.status, 0);
  EXPECT_NE(fits.output.find("deepest"), std::string::npos);
  EXPECT_EQ(fits.output.find(tooDeep), std::string::npos);
  EXPECT_NE(fits.output.find(": back\n"), std::string::npos);
  Outcome over = chain(17);
  EXPECT_EQ(over.status, 0);
  EXPECT_EQ(over.output.find("\ndeepest"), std::string::npos);
  EXPECT_NE(over.output.find(tooDeep), std::string::npos);
  EXPECT_NE(over.output.find(": back\n"), std::string::npos);
}

// Every command typed alone, with nothing after it: the input ends at its
// first prompt, on nothing selected, on a device, on the 488.2 board and in
// raw mode. The run must end cleanly, whatever the command.
TEST(Limits, EndOfInputAtEveryPrompt) {
  const char* const selections[] = {"", "ibfind dmm\n", "set 488.2 0\n", "raw on\n"};
  for (int row = 0; row < kCatalogueRows; ++row) {
    for (const char* selection : selections) {
      const std::string line = std::string(selection) + kCatalogue[row].name;
      const std::string input = WriteFile("eof", line);
      Outcome o = RunVorel(input, {"-e"}, false);
      EXPECT_EQ(o.status, 0) << '"' << line << '"';
      std::remove(input.c_str());
    }
  }
}

}  // namespace
