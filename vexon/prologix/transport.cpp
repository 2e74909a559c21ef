// Serial port and TCP stream to a "++" adapter.
#include "transport.h"

#include <fcntl.h>
#include <grp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

namespace vexon::prologix {

namespace {

// How long a TCP connection may take to come up.
constexpr int kConnectTimeoutMs = 3000;

struct BaudRate {
  int baud;
  speed_t speed;
};
const BaudRate kBaudRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {500000, B500000}, {921600, B921600},
};

using Clock = std::chrono::steady_clock;

}  // namespace

bool TakesBaudRate(int baud) {
  for (const BaudRate& b : kBaudRates)
    if (b.baud == baud) return true;
  return false;
}

std::string PortProblem(const std::string& port, int e) {
  if (e != EACCES && e != EPERM) return std::strerror(e);
  struct stat st;
  std::string owner = "dialout";
  if (stat(port.c_str(), &st) == 0) {
    char buf[4096];
    struct group entry, *found = nullptr;
    if (getgrgid_r(st.st_gid, &entry, buf, sizeof buf, &found) == 0 && found) owner = found->gr_name;
  }
  return "permission denied: the port belongs to the group " + owner + ", which you are not in (sudo usermod -aG " +
         owner + " $USER, then log in again)";
}

std::string Transport::Problem(int e) const { return problem_.empty() ? std::strerror(e) : problem_; }

namespace {

// Rounded up, so that a wait of this many milliseconds reaches the deadline
// rather than ending a fraction of a millisecond short of it.
int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

}  // namespace

bool Transport::Open(const BoardSettings& s) {
  Close();
  problem_.clear();
  return s.host.empty() ? OpenSerial(s) : OpenTcp(s);
}

Transport::Transport() : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Transport::~Transport() {
  Close();
  if (wake_ >= 0) ::close(wake_);
}

void Transport::Wake() {
  uint64_t one = 1;
  if (wake_ >= 0) (void)!::write(wake_, &one, sizeof one);
}

void Transport::ClearWake() {
  uint64_t n;
  if (wake_ >= 0) (void)!::read(wake_, &n, sizeof n);
}

int Transport::WaitFor(short events, int timeoutMs, short& revents) {
  pollfd p[2] = {{fd_, events, 0}, {wake_, POLLIN, 0}};
  int rc = ::poll(p, fd_ >= 0 ? 2 : 1, timeoutMs);
  if (fd_ < 0) p[1] = p[0], p[0].revents = 0;
  if (rc < 0) return errno == EINTR ? 0 : -1;
  if (p[1].revents & POLLIN) return static_cast<int>(kWoken);
  revents = p[0].revents;
  return rc > 0 ? 1 : 0;
}

bool Transport::Pause(int timeoutMs) {
  pollfd p{wake_, POLLIN, 0};
  return !(::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN));
}

void Transport::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool Transport::OpenSerial(const BoardSettings& s) {
  speed_t speed = 0;
  for (const BaudRate& b : kBaudRates)
    if (b.baud == s.baud) speed = b.speed;
  if (!speed) return errno = EINVAL, false;
  int fd = ::open(s.port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    problem_ = PortProblem(s.port, e);
    return errno = e, false;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    int e = errno;
    ::close(fd);
    return errno = e, false;
  }
  // Raw bytes, 8N1, no echo, no line discipline, modem lines ignored.
  cfmakeraw(&t);
  t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  // With VMIN 0 a tty reads 0 bytes when nothing is there, which looks like
  // a hang-up; with VMIN 1 and O_NONBLOCK it fails with EAGAIN instead.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    int e = errno;
    ::close(fd);
    return errno = e, false;
  }
  // DTR and RTS up, as a terminal program leaves them; a pseudo-terminal has
  // no modem lines, which is no fault.
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)ioctl(fd, TIOCMBIS, &lines);
  tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  serial_ = true;
  return true;
}

bool Transport::OpenTcp(const BoardSettings& s) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  std::string port = std::to_string(s.tcpPort);
  if (int rc = getaddrinfo(s.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
    const int e = rc == EAI_SYSTEM ? errno : EHOSTUNREACH;
    problem_ = "cannot find the host " + s.host + " (" + (rc == EAI_SYSTEM ? std::strerror(e) : gai_strerror(rc)) + ")";
    return errno = e, false;
  }
  int err = ECONNREFUSED;
  for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      err = errno;
      continue;
    }
    int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      rc = ::poll(&p, 1, kConnectTimeoutMs);
      if (rc == 0) {
        errno = ETIMEDOUT;
        rc = -1;
      } else if (rc > 0) {
        int soErr = 0;
        socklen_t len = sizeof soErr;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
        rc = soErr ? (errno = soErr, -1) : 0;
      }
    }
    if (rc != 0) {
      err = errno;
      ::close(fd);
      continue;
    }
    // Each line goes out at once: the adapter answers line by line.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fd_ = fd;
    serial_ = false;
  }
  freeaddrinfo(found);
  if (fd_ < 0) errno = err;
  return fd_ >= 0;
}

bool Transport::PeerGone() {
  pollfd p{fd_, POLLIN | POLLRDHUP, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP)) return true;
  if (!serial_ && (p.revents & POLLIN)) {
    char c;
    return ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
  }
  return false;
}

bool Transport::Send(const std::string& bytes, int timeoutMs) {
  if (fd_ < 0) return errno = ENOTCONN, false;
  if (PeerGone()) return errno = HangUpError(), false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = serial_ ? ::write(fd_, bytes.data() + sent, bytes.size() - sent)
                        : ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    short revents = 0;
    int rc = WaitFor(POLLOUT, MillisecondsLeft(deadline), revents);
    if (rc == 0) return errno = ETIMEDOUT, false;
    if (rc == kWoken) return errno = ECANCELED, false;
    if (rc > 0 && (revents & (POLLHUP | POLLERR | POLLNVAL))) return errno = HangUpError(), false;
  }
  return true;
}

long Transport::Receive(char* buf, size_t max, int timeoutMs) {
  if (fd_ < 0) return errno = ENOTCONN, -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    ssize_t n = ::read(fd_, buf, max);
    if (n > 0) return n;
    // A closed socket reads 0 bytes; a serial port whose far end is gone
    // reads 0 or fails with EIO.
    if (n == 0) return errno = HangUpError(), -1;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
    short revents = 0;
    int wait = timeoutMs < 0 ? -1 : MillisecondsLeft(deadline);
    int rc = WaitFor(POLLIN | POLLRDHUP, wait, revents);
    if (rc == kWoken) return kWoken;
    if (rc < 0) return -1;
    if (rc == 0) {
      if (wait == 0 || MillisecondsLeft(deadline) == 0) return 0;
      continue;
    }
    if (!(revents & POLLIN) && (revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP)))
      return errno = HangUpError(), -1;
  }
}

}  // namespace vexon::prologix
