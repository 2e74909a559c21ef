// Child processes for the benchmarks, and their scratch files.
#include "bench_support.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

double Seconds(const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The environment of this process with LD_LIBRARY_PATH replaced or removed.
std::vector<std::string> ChildEnvironment(const char* driverDir) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) env.emplace_back(*e);
  if (driverDir) env.push_back(std::string("LD_LIBRARY_PATH=") + driverDir);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

void WriteAll(int fd, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
    if (n <= 0) return;  // the child has gone (SIGPIPE is ignored)
    at += static_cast<size_t>(n);
  }
}

struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    char name[] = "/tmp/vorel-bench-XXXXXX";
    if (mkdtemp(name)) path = name;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

ChildRun RunChild(const std::vector<std::string>& argv, const std::string& inputPath, Feed feed,
                  const char* driverDir) {
  ChildRun run;
  std::vector<std::string> args = argv;
  std::vector<std::string> env = ChildEnvironment(driverDir);
  std::vector<char*> argp = Pointers(args), envp = Pointers(env);
  // The piped bytes are read before the clock starts.
  std::string piped = feed == Feed::kPipe ? ReadWholeFile(inputPath) : std::string();
  int input = -1, writeEnd = -1;
  if (feed == Feed::kPipe) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return run;
    input = ends[0];
    writeEnd = ends[1];
  } else {
    input = open(inputPath.c_str(), O_RDONLY | O_CLOEXEC);
  }
  int output = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (input < 0 || output < 0) return run;
  signal(SIGPIPE, SIG_IGN);

  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    signal(SIGPIPE, SIG_DFL);
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  close(input);
  close(output);
  if (child < 0) {
    if (writeEnd >= 0) close(writeEnd);
    return run;
  }
  if (writeEnd >= 0) {
    WriteAll(writeEnd, piped);
    close(writeEnd);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return run;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.peakRssKb = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

ChildRun RunVorel(const std::string& inputPath, Feed feed, const char* driverDir) {
  return RunChild({VOREL_BINARY}, inputPath, feed, driverDir);
}

std::string ScratchPath(const char* name) {
  static ScratchFolder folder;
  return folder.path + "/" + name;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out.flush());
}

std::string CommandScript(int count) {
  static const char* const kMix[] = {"ibwrt \"x\"\n", "ibrd 10\n", "ibask 3\n", "ibwait 0\n"};
  std::string script = "-\nibfind dmm\n";
  script.reserve(script.size() + static_cast<size_t>(count) * 10);
  for (int i = 0; i < count; ++i) script += kMix[i % 4];
  return script;
}

void Report(benchmark::State& state, const char* name, double value) {
  state.counters[name] = benchmark::Counter(value);
}

bool CheckRun(benchmark::State& state, const ChildRun& run, const char* what) {
  if (run.ok) return true;
  state.SkipWithError((std::string(what) + " did not exit cleanly").c_str());
  return false;
}
