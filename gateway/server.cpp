// The gateway's sockets and connection threads.
#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "links.h"
#include "log.h"
#include "rpc_server.h"
#include "srq.h"

namespace gateway {

namespace {

constexpr size_t kMaxConnections = 128;

std::mutex activeLock;
std::condition_variable allEnded;
std::set<std::shared_ptr<Connection>> active;

int OpenListener(const in_addr& address, uint16_t* port, std::string* problem) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr = address;
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    *problem = std::string("cannot listen: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

int ReadSocket(void* context, void* buffer, int length) {
  int fd = *static_cast<int*>(context);
  while (true) {
    ssize_t n = recv(fd, buffer, static_cast<size_t>(length), 0);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno == EINTR) continue;
    return -1;
  }
}

int WriteSocket(void* context, void* buffer, int length) {
  int fd = *static_cast<int*>(context);
  const char* p = static_cast<const char*>(buffer);
  int left = length;
  while (left > 0) {
    ssize_t n = send(fd, p, static_cast<size_t>(left), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    p += n;
    left -= static_cast<int>(n);
  }
  return length;
}

void ServeConnection(std::shared_ptr<Connection> connection, Channel channel) {
  LogConnection(*connection, channel == Channel::kCore ? "connected" : "connected to the abort channel");
  int fd = connection->fd;
  std::string ended = ServeCalls(connection, channel, Stream{&fd, &ReadSocket, &WriteSocket});
  int released = CloseLinksOf(*connection);
  CloseInterruptChannel(*connection);
  if (released) ended += " (" + std::to_string(released) + (released == 1 ? " link" : " links") + " released)";
  LogConnection(*connection, ended);
  std::lock_guard<std::mutex> hold(activeLock);
  close(connection->fd);
  active.erase(connection);
  allEnded.notify_all();
}

void Accept(int listener, Channel channel, const std::vector<Network>& allowed) {
  static int lastId = 0;
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int fd = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  if (fd < 0) return;
  auto connection = std::make_shared<Connection>();
  connection->id = ++lastId;
  connection->fd = fd;
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  connection->peer = std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
  if (!Allowed(allowed, ntohl(peer.sin_addr.s_addr))) {
    LogConnection(*connection, "refused: not in the allowed networks (--allow)");
    close(fd);
    return;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::lock_guard<std::mutex> hold(activeLock);
  if (active.size() >= kMaxConnections) {
    LogConnection(*connection, "refused: " + std::to_string(kMaxConnections) + " connections are open");
    close(fd);
    return;
  }
  active.insert(connection);
  std::thread(ServeConnection, connection, channel).detach();
}

}  // namespace

bool OpenListeners(const std::string& address, Listeners* listeners, std::string* problem) {
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
    *problem = "--listen " + address + ": give an IPv4 address of this machine (127.0.0.1, or 0.0.0.0 for all)";
    return false;
  }
  listeners->core = OpenListener(parsed, &listeners->corePort, problem);
  if (listeners->core < 0) return false;
  listeners->abort = OpenListener(parsed, &listeners->abortPort, problem);
  return listeners->abort >= 0;
}

void Serve(const Listeners& listeners, const std::vector<Network>& allowed) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  int signals = signalfd(-1, &stop, SFD_CLOEXEC);
  pollfd fds[3] = {{listeners.core, POLLIN, 0}, {listeners.abort, POLLIN, 0}, {signals, POLLIN, 0}};
  while (true) {
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[2].revents) break;
    if (fds[0].revents) Accept(listeners.core, Channel::kCore, allowed);
    if (fds[1].revents) Accept(listeners.abort, Channel::kAbort, allowed);
  }
  close(signals);
  close(listeners.core);
  close(listeners.abort);
  std::unique_lock<std::mutex> hold(activeLock);
  for (const auto& connection : active) shutdown(connection->fd, SHUT_RDWR);
  allEnded.wait(hold, [] { return active.empty(); });
}

}  // namespace gateway
