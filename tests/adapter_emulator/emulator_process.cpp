// The adapter emulator as a test's child process.
#include "emulator_process.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
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

bool EmulatorProcess::Start(const std::string& dir, const std::vector<std::string>& args) {
  std::string portFile = dir + "/port";
  ptyLink = dir + "/tty";
  log = dir + "/lines.log";
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<const char*> argv{ADAPTER_EMULATOR, "--port-file", portFile.c_str(), "--pty",
                                  ptyLink.c_str(), "--log", log.c_str(), "--drop-on", "DROP-ADAPTER"};
    for (const std::string& a : args) argv.push_back(a.c_str());
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

bool EmulatorProcess::Emulate(const std::string& fault) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  // The answer to "++ver" behind it says that the fault is set.
  const std::string lines = "++emulate " + fault + "\n++ver\n";
  ok = ok && send(fd, lines.data(), lines.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(lines.size());
  std::string got;
  char buf[256];
  while (ok && got.find('\n') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    ssize_t n = poll(&p, 1, 10000) > 0 ? recv(fd, buf, sizeof buf, 0) : -1;
    if (n <= 0) ok = false;
    else got.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return ok;
}
