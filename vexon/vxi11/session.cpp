// The core and abort channels of one board: rpcgen's client calls over
// libtirpc's TCP client, with each call's RPC timeout covering the I/O and
// lock timeouts it asks the server for.
#include "session.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "vxi11.h"

namespace vexon::vxi11 {

namespace {

// Beyond the timeouts a call gives the server, the time its answer may take.
constexpr uint32_t kReplyMarginMs = 5000;
// The abort channel is asked for no more than this.
constexpr uint32_t kAbortWaitMs = 3000;
// Bytes a docmd sends at most per call.
constexpr size_t kMaxCommandBytes = 128;
constexpr long kWaitLock = 0x01, kEnd = 0x08, kTermCharSet = 0x80;

struct ErrorText {
  long code;
  const char* name;
};
const ErrorText kErrors[] = {
    {0, "no error"},
    {1, "syntax error"},
    {3, "device not accessible"},
    {4, "invalid link identifier"},
    {5, "parameter error"},
    {6, "channel not established"},
    {8, "operation not supported"},
    {9, "out of resources"},
    {11, "device locked by another link"},
    {12, "no lock held by this link"},
    {15, "I/O timeout"},
    {17, "I/O error"},
    {21, "invalid address"},
    {23, "abort"},
    {29, "channel already established"},
};

timeval TimeoutOf(uint64_t ms) {
  if (ms >= static_cast<uint64_t>(INT_MAX) * 1000) return {INT_MAX, 0};
  return {static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
}

uint64_t RpcWaitMs(uint32_t timeoutMs, uint32_t lockTimeoutMs) {
  if (timeoutMs == kForever || lockTimeoutMs == kForever) return UINT64_MAX / 2;
  return uint64_t{timeoutMs} + lockTimeoutMs + kReplyMarginMs;
}

// A server that went away must not end the program: SIGPIPE from a write
// to its socket is held back for the call and discarded, as the call
// reports the broken connection itself.
class QuietPipe {
 public:
  QuietPipe() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe, &old_);
  }
  ~QuietPipe() {
    sigset_t pending;
    sigpending(&pending);
    if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      const timespec now{0, 0};
      sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  QuietPipe(const QuietPipe&) = delete;
  QuietPipe& operator=(const QuietPipe&) = delete;

 private:
  sigset_t old_;
  bool wasPending_ = false;
};

int SocketOf(CLIENT* c) {
  int fd = -1;
  if (!c || !clnt_control(c, CLGET_FD, reinterpret_cast<char*>(&fd))) return -1;
  return fd;
}

}  // namespace

const char* ErrorName(long code) {
  for (const ErrorText& e : kErrors)
    if (e.code == code) return e.name;
  return "unknown error";
}

Session::Session(int board, std::string host, int connectTimeoutS)
    : board_(board), host_(std::move(host)), connectTimeoutS_(connectTimeoutS) {}

Session::~Session() {
  Drop();
  std::lock_guard l(abortLock_);
  if (abort_) clnt_destroy(abort_);
}

Reply Session::Connect() {
  if (core_) return {};
  timeval tv{connectTimeoutS_, 0};
  QuietPipe quiet;
  CLIENT* c = clnt_create_timed(host_.c_str(), DEVICE_CORE, DEVICE_CORE_VERSION, "tcp", &tv);
  if (!c) {
    int e = rpc_createerr.cf_error.re_errno;
    switch (rpc_createerr.cf_stat) {
      case RPC_UNKNOWNHOST: e = EHOSTUNREACH; break;
      case RPC_TIMEDOUT: e = ETIMEDOUT; break;
      default:
        if (!e) e = ECONNREFUSED;  // no portmapper, or no server registered with it
    }
    return {Reply::Lost, 0, e};
  }
  core_ = c;
  ++generation_;
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  std::lock_guard l(abortLock_);
  serverAddress_.clear();
  if (getpeername(SocketOf(c), reinterpret_cast<sockaddr*>(&peer), &len) == 0)
    serverAddress_.assign(reinterpret_cast<const char*>(&peer), len);
  abortFor_ = -1;
  return {};
}

void Session::Drop() {
  if (core_) clnt_destroy(core_);
  core_ = nullptr;
  std::lock_guard l(abortLock_);
  abortFor_ = -1;
}

Reply Session::LostConnection(enum clnt_stat status) {
  rpc_err e{};
  clnt_geterr(core_, &e);
  int sys = e.re_errno;
  if (status == RPC_TIMEDOUT) sys = ETIMEDOUT;
  else if (!sys) sys = status == RPC_CANTDECODERES || status == RPC_PROGUNAVAIL ? EPROTO : ECONNRESET;
  // A connection whose answer is late or garbled cannot be trusted with the next call.
  Drop();
  return {Reply::Lost, 0, sys};
}

template <class Params, class Result>
Reply Session::CallCore(enum clnt_stat (*stub)(Params*, Result*, CLIENT*), Params& p, Result& r,
                        uint64_t timeoutMs) {
  if (Reply c = Connect(); !c.ok()) return c;
  timeval tv = TimeoutOf(timeoutMs);
  clnt_control(core_, CLSET_TIMEOUT, reinterpret_cast<char*>(&tv));
  std::memset(&r, 0, sizeof r);
  QuietPipe quiet;
  enum clnt_stat s = stub(&p, &r, core_);
  if (s != RPC_SUCCESS) return LostConnection(s);
  return {};
}

Reply Session::Open(Link& link) {
  if (Reply c = Connect(); !c.ok()) return c;
  if (link.generation == generation_) return {};
  Create_LinkParms p{};
  p.clientId = board_;
  p.lockDevice = FALSE;
  p.lock_timeout = 0;
  p.device = const_cast<char*>(link.name.c_str());
  Create_LinkResp r;
  if (Reply c = CallCore(&create_link_1, p, r, connectTimeoutS_ * 1000u + kReplyMarginMs); !c.ok()) return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  link.lid = r.lid;
  link.generation = generation_;
  maxRecvSize_ = std::max<unsigned long>(r.maxRecvSize, 1);
  std::lock_guard l(abortLock_);
  abortPort_ = r.abortPort;
  return {};
}

void Session::Close(Link& link) {
  if (!core_ || link.generation != generation_) return;
  link.generation = -1;
  Device_Link lid = link.lid;
  Device_Error r;
  CallCore(&destroy_link_1, lid, r, kReplyMarginMs);
}

Reply Session::Write(Link& link, const void* data, size_t n, bool end, uint32_t timeoutMs, size_t& written) {
  written = 0;
  if (Reply o = Open(link); !o.ok()) return o;
  const char* bytes = static_cast<const char*>(data);
  do {
    const size_t part = std::min<size_t>(n - written, maxRecvSize_);
    const bool last = written + part == n;
    Device_WriteParms p{};
    p.lid = link.lid;
    p.io_timeout = timeoutMs;
    p.lock_timeout = timeoutMs;
    p.flags = kWaitLock | (last && end ? kEnd : 0);
    p.data.data_len = static_cast<u_int>(part);
    p.data.data_val = const_cast<char*>(bytes + written);
    Device_WriteResp r;
    if (Reply c = CallCore(&device_write_1, p, r, RpcWaitMs(timeoutMs, timeoutMs)); !c.ok()) return c;
    written += std::min<size_t>(r.size, part);
    if (r.error) return {Reply::Refused, r.error, 0};
    if (r.size < part && r.size == 0) return {Reply::Refused, 17, 0};  // no progress: an I/O error
  } while (written < n);
  return {};
}

Reply Session::Read(Link& link, void* data, size_t count, int termChar, uint32_t timeoutMs, size_t& got,
                    long& reason) {
  got = 0;
  reason = 0;
  if (Reply o = Open(link); !o.ok()) return o;
  char* out = static_cast<char*>(data);
  do {
    Device_ReadParms p{};
    p.lid = link.lid;
    p.requestSize = static_cast<u_long>(std::min<size_t>(count - got, 0x7FFFFFFF));
    p.io_timeout = timeoutMs;
    p.lock_timeout = timeoutMs;
    p.flags = kWaitLock | (termChar >= 0 ? kTermCharSet : 0);
    p.termChar = static_cast<char>(termChar >= 0 ? termChar : 0);
    Device_ReadResp r;
    if (Reply c = CallCore(&device_read_1, p, r, RpcWaitMs(timeoutMs, timeoutMs)); !c.ok()) return c;
    const size_t n = std::min<size_t>(r.data.data_len, count - got);
    if (n) std::memcpy(out + got, r.data.data_val, n);
    got += n;
    reason = r.reason;
    const long error = r.error;
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), reinterpret_cast<char*>(&r));
    if (error) return {Reply::Refused, error, 0};
    if (reason & (kReasonReqCnt | kReasonChr | kReasonEnd)) break;
    if (n == 0) break;  // "read again" with nothing read: do not spin
  } while (got < count);
  return {};
}

Reply Session::ReadStb(Link& link, uint32_t timeoutMs, uint8_t& stb) {
  if (Reply o = Open(link); !o.ok()) return o;
  Device_GenericParms p{link.lid, kWaitLock, timeoutMs, timeoutMs};
  Device_ReadStbResp r;
  if (Reply c = CallCore(&device_readstb_1, p, r, RpcWaitMs(timeoutMs, timeoutMs)); !c.ok()) return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  stb = r.stb;
  return {};
}

Reply Session::Call(Link& link, Generic which, uint32_t timeoutMs) {
  if (Reply o = Open(link); !o.ok()) return o;
  Device_GenericParms p{link.lid, kWaitLock, timeoutMs, timeoutMs};
  Device_Error r;
  using Stub = enum clnt_stat (*)(Device_GenericParms*, Device_Error*, CLIENT*);
  constexpr Stub kStubs[] = {&device_trigger_1, &device_clear_1, &device_remote_1, &device_local_1};
  if (Reply c = CallCore(kStubs[static_cast<int>(which)], p, r, RpcWaitMs(timeoutMs, timeoutMs)); !c.ok())
    return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  return {};
}

Reply Session::Lock(Link& link, bool wait, uint32_t lockTimeoutMs) {
  if (Reply o = Open(link); !o.ok()) return o;
  Device_LockParms p{link.lid, wait ? kWaitLock : 0, lockTimeoutMs};
  Device_Error r;
  if (Reply c = CallCore(&device_lock_1, p, r, RpcWaitMs(0, lockTimeoutMs)); !c.ok()) return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  return {};
}

Reply Session::Unlock(Link& link) {
  if (Reply o = Open(link); !o.ok()) return o;
  Device_Link lid = link.lid;
  Device_Error r;
  if (Reply c = CallCore(&device_unlock_1, lid, r, kReplyMarginMs); !c.ok()) return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  return {};
}

Reply Session::Docmd(Link& link, long cmd, const void* in, size_t n, long datasize, uint32_t timeoutMs,
                     std::string* out) {
  if (Reply o = Open(link); !o.ok()) return o;
  const char* bytes = static_cast<const char*>(in);
  size_t done = 0;
  do {  // command bytes go at most 128 to a call; everything else in one
    const size_t part = cmd == kCmdSendCommand ? std::min(n - done, kMaxCommandBytes) : n;
    Device_DocmdParms p{};
    p.lid = link.lid;
    p.flags = kWaitLock;
    p.io_timeout = timeoutMs;
    p.lock_timeout = timeoutMs;
    p.cmd = cmd;
    p.network_order = TRUE;
    p.datasize = datasize;
    p.data_in.data_in_len = static_cast<u_int>(part);
    p.data_in.data_in_val = const_cast<char*>(bytes + done);
    Device_DocmdResp r;
    if (Reply c = CallCore(&device_docmd_1, p, r, RpcWaitMs(timeoutMs, timeoutMs)); !c.ok()) return c;
    const long error = r.error;
    if (out && !error) out->assign(r.data_out.data_out_val, r.data_out.data_out_len);
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_DocmdResp), reinterpret_cast<char*>(&r));
    if (error) return {Reply::Refused, error, 0};
    done += part;
  } while (done < n);
  return {};
}

Reply Session::BusStatus(Link& link, int what, int& value) {
  const char query[2] = {0, static_cast<char>(what)};
  std::string answer;
  Reply r = Docmd(link, kCmdBusStatus, query, 2, 2, 3000, &answer);
  if (!r.ok()) return r;
  value = 0;
  for (char c : answer) value = value << 8 | static_cast<unsigned char>(c);  // network order
  return r;
}

Reply Session::BusStatus(Link& link, int what, bool& value) {
  int v = 0;
  Reply r = BusStatus(link, what, v);
  value = v != 0;
  return r;
}

Reply Session::CreateInterruptChannel(uint32_t hostAddr, uint16_t port) {
  if (Reply c = Connect(); !c.ok()) return c;
  Device_RemoteFunc p{};
  p.hostAddr = hostAddr;
  p.hostPort = port;
  p.progNum = DEVICE_INTR;
  p.progVers = DEVICE_INTR_VERSION;
  p.progFamily = DEVICE_TCP;
  Device_Error r;
  if (Reply c = CallCore(&create_intr_chan_1, p, r, kReplyMarginMs); !c.ok()) return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  return {};
}

Reply Session::EnableSrq(Link& link, bool on, const std::string& handle) {
  if (Reply o = Open(link); !o.ok()) return o;
  Device_EnableSrqParms p{};
  p.lid = link.lid;
  p.enable = on ? TRUE : FALSE;
  p.handle.handle_len = static_cast<u_int>(std::min<size_t>(handle.size(), 40));
  p.handle.handle_val = const_cast<char*>(handle.data());
  Device_Error r;
  if (Reply c = CallCore(&device_enable_srq_1, p, r, kReplyMarginMs); !c.ok()) return c;
  if (r.error) return {Reply::Refused, r.error, 0};
  return {};
}

uint32_t Session::localAddress() const {
  sockaddr_storage local{};
  socklen_t len = sizeof local;
  if (getsockname(SocketOf(core_), reinterpret_cast<sockaddr*>(&local), &len) != 0 ||
      local.ss_family != AF_INET)
    return 0;
  return ntohl(reinterpret_cast<const sockaddr_in*>(&local)->sin_addr.s_addr);
}

Reply Session::Abort(long lid) {
  std::lock_guard l(abortLock_);
  if (serverAddress_.empty() || !abortPort_) return {};
  if (abort_ && abortFor_ != abortPort_) {
    clnt_destroy(abort_);
    abort_ = nullptr;
  }
  if (!abort_) {
    sockaddr_storage a{};
    std::memcpy(&a, serverAddress_.data(), std::min(serverAddress_.size(), sizeof a));
    if (a.ss_family == AF_INET) reinterpret_cast<sockaddr_in*>(&a)->sin_port = htons(abortPort_);
    else if (a.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6*>(&a)->sin6_port = htons(abortPort_);
    const int fd = socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {Reply::Lost, 0, errno};
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), static_cast<socklen_t>(serverAddress_.size())) != 0) {
      const int e = errno;
      close(fd);
      return {Reply::Lost, 0, e};
    }
    netbuf addr{static_cast<unsigned>(serverAddress_.size()), static_cast<unsigned>(serverAddress_.size()), &a};
    abort_ = clnt_vc_create(fd, &addr, DEVICE_ASYNC, DEVICE_ASYNC_VERSION, 0, 0);
    if (!abort_) {
      close(fd);
      return {Reply::Lost, 0, ECONNREFUSED};
    }
    clnt_control(abort_, CLSET_FD_CLOSE, nullptr);
    abortFor_ = abortPort_;
  }
  timeval tv = TimeoutOf(kAbortWaitMs);
  clnt_control(abort_, CLSET_TIMEOUT, reinterpret_cast<char*>(&tv));
  Device_Link id = lid;
  Device_Error r{};
  QuietPipe quiet;
  if (device_abort_1(&id, &r, abort_) != RPC_SUCCESS) {
    clnt_destroy(abort_);
    abort_ = nullptr;
    return {Reply::Lost, 0, ECONNRESET};
  }
  if (r.error) return {Reply::Refused, r.error, 0};
  return {};
}

}  // namespace vexon::vxi11
