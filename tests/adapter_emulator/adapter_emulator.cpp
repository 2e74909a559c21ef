// An emulated "++" GPIB adapter for tests without hardware: it listens on
// 127.0.0.1 (as a Prologix GPIB-ETHERNET) and on a pseudo-terminal (as a USB
// adapter's serial port), and its GPIB bus is the driver library's default
// simulated bus.
//
// Usage: adapter_emulator [--ar488] [--firmware X.Y.Z] [--boot-ms MS] [--port N]
//                         [--port-file FILE] [--pty LINK] [--log FILE] [--drop-on TEXT]
//   --firmware    the AR488 firmware version it behaves as (0.53.03)
//   --boot-ms     it restarts when a host connects or opens the pseudo-terminal,
//                 as an Arduino does, and hears nothing for MS
//   --port-file   where the TCP port goes once it listens (written whole at once)
//   --pty         a symbolic link to the pseudo-terminal's device, made at start
//   --log         every line received, one per line, as it ran
//   --drop-on     a data line with this text drops its connection instead of
//                 reaching the bus, as an adapter unplugged would
// SIGUSR1 also drops every connection; the pseudo-terminal comes back as a new
// device behind the same link. SIGTERM ends the emulator.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "adapter_model.h"

namespace {

volatile sig_atomic_t dropRequested = 0, stopRequested = 0;

struct Options {
  emulator::Firmware firmware;
  int bootMs = -1;
  int port = 0;
  std::string portFile, ptyLink, logFile, dropOn;
};

struct Connection {
  int fd = -1;
  bool socket = false;
  std::unique_ptr<emulator::AdapterModel> model;
};

// Writes every byte unless the host takes none for stallMs.
bool WriteAll(int fd, bool socket, const std::string& bytes, int stallMs) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = socket ? send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                       : write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, stallMs) <= 0) return false;
  }
  return true;
}

bool WriteFileWhole(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) return false;
  std::fputs(text.c_str(), f);
  std::fclose(f);
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

// A fresh pseudo-terminal in raw mode, linked from options.ptyLink. The
// emulator keeps the device open itself, so that the host may open and close
// it at will without the master side seeing a hang-up.
bool OpenPty(const Options& o, int& master, int& slave) {
  master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
  const char* name = ptsname(master);
  if (!name) return false;
  slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) return false;
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  std::string tmp = o.ptyLink + ".tmp";
  unlink(tmp.c_str());
  return symlink(name, tmp.c_str()) == 0 && std::rename(tmp.c_str(), o.ptyLink.c_str()) == 0;
}

int Listen(const Options& o, int& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(o.port));
  socklen_t len = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    return -1;
  port = ntohs(a.sin_port);
  return fd;
}

// Every line received, logged before it runs.
std::FILE* logFile = nullptr;

Connection MakeConnection(int fd, bool socket, const emulator::Firmware& fw) {
  Connection c;
  c.fd = fd;
  c.socket = socket;
  c.model = std::make_unique<emulator::AdapterModel>(
      fw, [fd, socket](const std::string& b, int stallMs) { return WriteAll(fd, socket, b, stallMs); });
  c.model->SetLog([](const std::string& line) {
    if (logFile) std::fprintf(logFile, "%s\n", line.c_str()), std::fflush(logFile);
  });
  return c;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--ar488") o.firmware.ar488 = true;
    else if (a == "--firmware" && hasValue)
      std::sscanf(argv[++i], "%d.%d.%d", &o.firmware.major, &o.firmware.minor, &o.firmware.patch);
    else if (a == "--boot-ms" && hasValue) o.bootMs = std::atoi(argv[++i]);
    else if (a == "--port" && hasValue) o.port = std::atoi(argv[++i]);
    else if (a == "--port-file" && hasValue) o.portFile = argv[++i];
    else if (a == "--pty" && hasValue) o.ptyLink = argv[++i];
    else if (a == "--log" && hasValue) o.logFile = argv[++i];
    else if (a == "--drop-on" && hasValue) o.dropOn = argv[++i];
    else return false;
  }
  return true;
}

// The emulator's own bus is the default one, whatever the caller's
// environment names: no bus file variable, an empty configuration folder.
void UseDefaultBus() {
  unsetenv("VOREL_BUS");
  char dir[] = "/tmp/adapter_emulator.XXXXXX";
  if (mkdtemp(dir)) setenv("XDG_CONFIG_HOME", dir, 1);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr, "usage: adapter_emulator [--ar488] [--firmware X.Y.Z] [--boot-ms MS] [--port N] "
                         "[--port-file FILE] [--pty LINK] [--log FILE] [--drop-on TEXT]\n");
    return 2;
  }
  UseDefaultBus();
  signal(SIGPIPE, SIG_IGN);
  signal(SIGUSR1, [](int) { dropRequested = 1; });
  signal(SIGTERM, [](int) { stopRequested = 1; });
  signal(SIGINT, [](int) { stopRequested = 1; });

  int port = 0;
  int listener = Listen(o, port);
  if (listener < 0) return std::perror("adapter_emulator: listen"), 1;
  int ptyMaster = -1, ptySlave = -1;
  if (!o.ptyLink.empty() && !OpenPty(o, ptyMaster, ptySlave))
    return std::perror("adapter_emulator: pseudo-terminal"), 1;
  std::FILE* log = logFile = o.logFile.empty() ? nullptr : std::fopen(o.logFile.c_str(), "a");
  std::vector<Connection> conns;
  if (ptyMaster >= 0) conns.push_back(MakeConnection(ptyMaster, false, o.firmware));
  // Restarting on open: the emulator does not hold the pseudo-terminal open
  // itself, so that the master side sees when the host opens it.
  bool ptyHostOpen = false;
  if (o.bootMs >= 0 && ptySlave >= 0) close(ptySlave), ptySlave = -1;
  if (!o.portFile.empty() && !WriteFileWhole(o.portFile, std::to_string(port) + "\n"))
    return std::perror("adapter_emulator: port file"), 1;

  // Drops one connection, or all of them (which < 0). A dropped
  // pseudo-terminal comes back as a new device behind the link, linked
  // before the old one closes, so the host finds the new one at once.
  auto drop = [&](int which) {
    bool ptyDropped = false;
    for (size_t i = 0; i < conns.size(); ++i)
      if (which < 0 || static_cast<int>(i) == which) ptyDropped |= !conns[i].socket;
    int oldSlave = ptySlave;
    bool replaced = ptyDropped && OpenPty(o, ptyMaster, ptySlave);
    if (ptyDropped && !replaced) std::perror("adapter_emulator: pseudo-terminal");
    for (size_t i = 0; i < conns.size(); ++i) {
      if (which >= 0 && static_cast<int>(i) != which) continue;
      close(conns[i].fd);
      conns[i].fd = -1;
    }
    std::erase_if(conns, [](const Connection& c) { return c.fd < 0; });
    if (ptyDropped) close(oldSlave);
    if (replaced) conns.push_back(MakeConnection(ptyMaster, false, o.firmware));
    if (log) std::fputs("-- dropped\n", log), std::fflush(log);
  };

  while (!stopRequested) {
    if (dropRequested) {
      dropRequested = 0;
      drop(-1);
    }
    std::vector<pollfd> fds{{listener, POLLIN, 0}};
    for (auto& c : conns) fds.push_back({c.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), 100) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      // Each answer goes out at once, as the adapter sends it.
      int one = 1;
      if (fd >= 0) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      if (fd >= 0) conns.push_back(MakeConnection(fd, true, o.firmware));
      if (fd >= 0 && o.bootMs >= 0) conns.back().model->Restart(o.bootMs);
    }
    if (o.bootMs >= 0) {
      // A hang-up on the master: nobody has the pseudo-terminal open.
      for (size_t i = 1; i < fds.size(); ++i) {
        if (conns[i - 1].socket) continue;
        const bool open = !(fds[i].revents & POLLHUP);
        if (open && !ptyHostOpen) conns[i - 1].model->Restart(o.bootMs);
        ptyHostOpen = open;
        if (!open) {
          fds[i].revents = 0;
          usleep(2000);
        }
      }
    }
    int dropped = -1;
    for (size_t i = 1; i < fds.size() && dropped < 0; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Connection& c = conns[i - 1];
      char buf[4096];
      ssize_t n = read(c.fd, buf, sizeof buf);
      if (n <= 0 && c.socket) {
        close(c.fd);
        c.fd = -1;
        continue;
      }
      if (n <= 0) continue;
      std::string bytes(buf, static_cast<size_t>(n));
      // A drop line goes nowhere: the adapter is gone before it reads it.
      if (!o.dropOn.empty() && bytes.find(o.dropOn) != std::string::npos) {
        dropped = static_cast<int>(i - 1);
        break;
      }
      c.model->Feed(bytes);
      if (c.model->WantsDrop()) {
        dropped = static_cast<int>(i - 1);
        break;
      }
    }
    if (dropped >= 0) drop(dropped);
    std::erase_if(conns, [](const Connection& c) { return c.fd < 0; });
  }
  for (auto& c : conns) close(c.fd);
  if (!o.ptyLink.empty()) unlink(o.ptyLink.c_str());
  return 0;
}
