// The adapter emulator as a test's child process.
#include "emulator_process.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Waits up to 5 s for ready() to hold.
template <class F>
bool WaitFor(F ready) {
  for (int i = 0; i < 500; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

}  // namespace

bool EmulatorProcess::Start(const std::string& dir, bool ar488) {
  std::string portFile = dir + "/port";
  ptyLink = dir + "/tty";
  log = dir + "/lines.log";
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<const char*> argv{ADAPTER_EMULATOR, "--port-file", portFile.c_str(), "--pty",
                                  ptyLink.c_str(), "--log", log.c_str(), "--drop-on", "DROP-ADAPTER"};
    if (ar488) argv.push_back("--ar488");
    argv.push_back(nullptr);
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  struct stat st;
  return pid_ > 0 && WaitFor([&] {
           std::ifstream in(portFile);
           return (in >> port) && port > 0 && lstat(ptyLink.c_str(), &st) == 0;
         });
}

void EmulatorProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool EmulatorProcess::Drop() {
  auto drops = [&] {
    int seen = 0;
    for (const auto& l : Lines(log)) seen += l == "-- dropped";
    return seen;
  };
  int before = drops();
  kill(pid_, SIGUSR1);
  return WaitFor([&] { return drops() > before; });
}

int EmulatorProcess::LinesLogged() const { return static_cast<int>(Lines(log).size()); }

std::string EmulatorProcess::LastLines(int n) const {
  auto lines = Lines(log);
  std::ostringstream out;
  for (size_t i = lines.size() > size_t(n) ? lines.size() - n : 0; i < lines.size(); ++i) out << lines[i] << "\n";
  return out.str();
}
