// The interrupt channel's server: one thread accepts, one thread per
// channel reads RPC records with libtirpc's record stream and counts each
// device_intr_srq. The calls are one-way: nothing is answered.
#include "interrupts.h"

#include <netinet/in.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "vxi11.h"

namespace vexon::vxi11 {

namespace {

// The largest handle a client may give with device_enable_srq.
constexpr u_int kMaxHandle = 40;

int ReadSocket(void* fd, void* buf, int len) {
  for (;;) {
    ssize_t n = read(*static_cast<int*>(fd), buf, static_cast<size_t>(len));
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno == EINTR) continue;
    return -1;  // closed, or the channel is being stopped
  }
}

int NoWrite(void*, void*, int) { return -1; }

}  // namespace

bool InterruptServer::Start(uint32_t address) {
  std::lock_guard l(lock_);
  if (listenFd_ >= 0) return true;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  socklen_t len = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    const int e = errno;
    close(fd);
    errno = e;
    return false;
  }
  listenFd_ = fd;
  address_ = address;
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
  return true;
}

void InterruptServer::Stop() {
  std::unique_lock l(lock_);
  if (listenFd_ < 0) return;
  shutdown(listenFd_, SHUT_RDWR);  // ends the acceptor's wait
  for (auto& c : channels_) shutdown(c->fd, SHUT_RDWR);
  l.unlock();
  acceptor_.join();
  l.lock();
  auto channels = std::move(channels_);
  close(listenFd_);
  listenFd_ = -1;
  ++cancels_;
  l.unlock();
  changed_.notify_all();
  for (auto& c : channels) {
    shutdown(c->fd, SHUT_RDWR);
    c->thread.join();
    close(c->fd);
  }
}

void InterruptServer::Accept() {
  for (;;) {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard l(lock_);
    // Channels that ended are closed as the next one comes.
    for (auto it = channels_.begin(); it != channels_.end();) {
      if ((*it)->done) {
        (*it)->thread.join();
        close((*it)->fd);
        it = channels_.erase(it);
      } else {
        ++it;
      }
    }
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // the listener was shut down
    }
    auto c = std::make_unique<Channel>();
    c->fd = fd;
    Channel& channel = *c;
    channels_.push_back(std::move(c));
    channel.thread = std::thread([this, &channel] { Serve(channel); });
  }
}

void InterruptServer::Serve(Channel& c) {
  XDR x;
  int fd = c.fd;
  xdrrec_create(&x, 0, 0, reinterpret_cast<char*>(&fd), &ReadSocket, &NoWrite);
  x.x_op = XDR_DECODE;
  for (;;) {
    xdrrec_skiprecord(&x);  // to the start of the next record
    char cred[MAX_AUTH_BYTES], verf[MAX_AUTH_BYTES];
    rpc_msg msg{};
    msg.rm_call.cb_cred.oa_base = cred;
    msg.rm_call.cb_verf.oa_base = verf;
    if (!xdr_callmsg(&x, &msg)) break;  // the channel closed, or no RPC call at all
    if (msg.rm_direction != CALL || msg.rm_call.cb_prog != DEVICE_INTR ||
        msg.rm_call.cb_vers != DEVICE_INTR_VERSION || msg.rm_call.cb_proc != device_intr_srq)
      continue;  // not ours: the record is skipped
    char handle[kMaxHandle];
    char* h = handle;
    u_int len = 0;
    if (!xdr_bytes(&x, &h, &len, kMaxHandle)) continue;
    {
      std::lock_guard l(lock_);
      ++count_;
    }
    changed_.notify_all();
  }
  xdr_destroy(&x);
  c.done = true;
}

long InterruptServer::count() {
  std::lock_guard l(lock_);
  return count_;
}

long InterruptServer::WaitBeyond(long seen, int timeoutMs) {
  std::unique_lock l(lock_);
  const long cancels = cancels_;
  auto woken = [&] { return count_ > seen || cancels_ != cancels; };
  if (timeoutMs < 0) changed_.wait(l, woken);
  else changed_.wait_for(l, std::chrono::milliseconds(timeoutMs), woken);
  return count_;
}

void InterruptServer::Cancel() {
  {
    std::lock_guard l(lock_);
    ++cancels_;
  }
  changed_.notify_all();
}

}  // namespace vexon::vxi11
