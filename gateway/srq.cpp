// Service requests: the interrupt channel and the boards' SRQ watchers.
#include "srq.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "core_calls.h"
#include "library.h"
#include "links.h"
#include "log.h"
#include "protocol.h"

namespace gateway {

namespace {

constexpr int kConnectTimeoutMs = 3000;

int ConnectTcp(uint32_t hostAddr, uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(hostAddr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    pollfd pfd{fd, POLLOUT, 0};
    int soError = 0;
    socklen_t len = sizeof soError;
    if (errno != EINPROGRESS || poll(&pfd, 1, kConnectTimeoutMs) != 1 ||
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
      int saved = soError ? soError : (errno == EINPROGRESS ? ETIMEDOUT : errno);
      close(fd);
      errno = saved;
      return -1;
    }
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// One watcher per board. The library's callback only raises a flag: it runs
// on the library's thread and must neither call the library nor wait.
struct Watcher {
  std::mutex lock;  // guards waitingLow and the arming of the notification
  std::condition_variable wake;
  std::atomic<bool> raised{false};
  std::atomic<bool> stop{false};
  bool waitingLow = false;  // told of a request; the next one is the line's next rise
  std::thread thread;
};

std::mutex watchersLock;
Watcher* watchers[16] = {};

int OnSrq(int, int, int, int, void* ref) {
  auto* w = static_cast<Watcher*>(ref);
  w->raised = true;
  w->wake.notify_all();
  return 0;  // re-armed once the line has gone false
}

bool SrqLine(int board) { return LibraryCall([&] { ibwait(BoardHandle(board), 0); }).sta & SRQI; }

void Arm(int board, Watcher* w) {
  LibraryCall([&] { ibnotify(BoardHandle(board), SRQI, &OnSrq, w); });
}

void SendSrq(Connection& connection, const std::vector<char>& handle) {
  std::lock_guard<std::mutex> hold(connection.intrLock);
  if (!connection.intr) return;
  Device_SrqParms p;
  p.handle.handle_val = const_cast<char*>(handle.data());
  p.handle.handle_len = static_cast<u_int>(handle.size());
  // One-way: a zero timeout sends the call and awaits no reply.
  timeval none{0, 0};
  enum clnt_stat st = clnt_call(connection.intr, device_intr_srq, reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_Device_SrqParms)),
                                reinterpret_cast<char*>(&p), reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_void)), nullptr, none);
  if (st != RPC_SUCCESS && st != RPC_TIMEDOUT) LogFailure(connection, "interrupt channel: cannot send device_intr_srq");
}

// With the watcher's lock held: re-arms once the line is false again.
void RearmWhenLow(int board, Watcher* w) {
  if (w->waitingLow && !SrqLine(board)) {
    w->waitingLow = false;
    Arm(board, w);
  }
}

void Watch(int board, Watcher* w) {
  std::unique_lock<std::mutex> hold(w->lock);
  Arm(board, w);
  while (true) {
    // While the line stays true after a request, it is looked at every 10 ms.
    w->wake.wait_for(hold, std::chrono::milliseconds(10), [w] { return w->raised || w->stop; });
    if (w->stop) return;
    if (w->raised.exchange(false)) {
      w->waitingLow = true;
      hold.unlock();
      for (SrqTarget& t : SrqTargets(board)) SendSrq(*t.connection, t.handle);
      hold.lock();
    }
    RearmWhenLow(board, w);
  }
}

// Starts the board's watcher; false when it was running already.
bool StartWatcher(int board) {
  std::lock_guard<std::mutex> hold(watchersLock);
  if (watchers[board]) return false;
  watchers[board] = new Watcher;
  watchers[board]->thread = std::thread(Watch, board, watchers[board]);
  return true;
}

}  // namespace

int (*ConnectInterruptChannel)(uint32_t, uint16_t) = &ConnectTcp;

bool CloseInterruptChannel(Connection& connection) {
  std::lock_guard<std::mutex> hold(connection.intrLock);
  if (!connection.intr) return false;
  clnt_destroy(connection.intr);
  connection.intr = nullptr;
  return true;
}

void StopSrqWatchers() {
  std::lock_guard<std::mutex> hold(watchersLock);
  for (int board = 0; board < 16; ++board) {
    Watcher* w = watchers[board];
    if (!w) continue;
    w->stop = true;
    w->wake.notify_all();
    w->thread.join();
    LibraryCall([&] { ibnotify(BoardHandle(board), 0, nullptr, nullptr); });
    delete w;
    watchers[board] = nullptr;
  }
}

void SrqPolled(int board) {
  std::lock_guard<std::mutex> hold(watchersLock);
  Watcher* w = board >= 0 && board < 16 ? watchers[board] : nullptr;
  if (!w) return;
  std::lock_guard<std::mutex> wl(w->lock);
  RearmWhenLow(board, w);
}

void CreateIntrChan(const std::shared_ptr<Connection>& c, const Device_RemoteFunc& p, Device_Error* r) {
  // XDR decodes any number into the enum: look at it as the number it is.
  int family = 0;
  static_assert(sizeof family == sizeof p.progFamily);
  std::memcpy(&family, &p.progFamily, sizeof family);
  if (family != DEVICE_TCP) {
    r->error = kNotSupported;
    return;
  }
  if (p.progNum != DEVICE_INTR || p.progVers != DEVICE_INTR_VERSION || p.hostPort == 0) {
    r->error = kParameterError;
    return;
  }
  std::lock_guard<std::mutex> hold(c->intrLock);
  if (c->intr) {
    r->error = kChannelAlreadyEstablished;
    return;
  }
  int fd = ConnectInterruptChannel(static_cast<uint32_t>(p.hostAddr), p.hostPort);
  if (fd < 0) {
    LogFailure(*c, "interrupt channel: cannot connect to port " + std::to_string(p.hostPort));
    r->error = kChannelNotEstablished;
    return;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(p.hostPort);
  addr.sin_addr.s_addr = htonl(static_cast<uint32_t>(p.hostAddr));
  CLIENT* client = clnttcp_create(&addr, DEVICE_INTR, DEVICE_INTR_VERSION, &fd, 0, 0);
  if (!client) {
    close(fd);
    r->error = kChannelNotEstablished;
    return;
  }
  clnt_control(client, CLSET_FD_CLOSE, nullptr);
  c->intr = client;
  r->error = kNoError;
}

void DestroyIntrChan(const std::shared_ptr<Connection>& c, const char&, Device_Error* r) {
  r->error = CloseInterruptChannel(*c) ? kNoError : kChannelNotEstablished;
}

void DeviceEnableSrq(const std::shared_ptr<Connection>& c, const Device_EnableSrqParms& p, Device_Error* r) {
  std::shared_ptr<Link> link = FindLink(*c, p.lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  SetSrq(*link, p.enable, p.handle.handle_val, p.handle.handle_len);
  r->error = kNoError;
  if (!p.enable) return;
  // A new watcher's first arming reports a line already true; a running
  // one has reported it to the links enabled before.
  if (!StartWatcher(link->board) && SrqLine(link->board)) SendSrq(*c, link->srqHandle);
}

}  // namespace gateway
