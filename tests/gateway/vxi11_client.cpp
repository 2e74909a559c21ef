// A VXI-11 client for the gateway's tests.
#include "vxi11_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

timeval Seconds(long s) { return timeval{s, 0}; }

template <class F>
xdrproc_t Xdr(F routine) {
  return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

bool ReadAll(int fd, void* buffer, size_t length) {
  char* p = static_cast<char*>(buffer);
  while (length > 0) {
    ssize_t n = read(fd, p, length);
    if (n <= 0) return false;
    p += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

Vxi11Client::Vxi11Client() {
  core = clnt_create("127.0.0.1", DEVICE_CORE, DEVICE_CORE_VERSION, "tcp");
  if (core) {
    timeval t = Seconds(20);
    clnt_control(core, CLSET_TIMEOUT, reinterpret_cast<char*>(&t));
  }
}

Vxi11Client::~Vxi11Client() { Drop(); }

void Vxi11Client::Drop() {
  if (core) clnt_destroy(core);
  core = nullptr;
}

Create_LinkResp Vxi11Client::Link(const std::string& name, bool lock, unsigned long lockTimeout) {
  Create_LinkParms p{};
  p.clientId = 1;
  p.lockDevice = lock;
  p.lock_timeout = lockTimeout;
  p.device = const_cast<char*>(name.c_str());
  Create_LinkResp r{};
  if (create_link_1(&p, &r, core) != RPC_SUCCESS) r.error = -1;
  abortPort = r.abortPort;
  return r;
}

long Vxi11Client::Write(long lid, const std::string& data, long flags, unsigned long lockTimeout) {
  Device_WriteParms p{};
  p.lid = lid;
  p.io_timeout = 1000;
  p.lock_timeout = lockTimeout;
  p.flags = flags;
  p.data.data_val = const_cast<char*>(data.data());
  p.data.data_len = static_cast<u_int>(data.size());
  Device_WriteResp r{};
  if (device_write_1(&p, &r, core) != RPC_SUCCESS) return -1;
  return r.error;
}

long Vxi11Client::Read(long lid, unsigned long size, std::string* data, long* reason, long flags, char termChar,
                       unsigned long ioTimeout) {
  Device_ReadParms p{};
  p.lid = lid;
  p.requestSize = size;
  p.io_timeout = ioTimeout;
  p.flags = flags;
  p.termChar = termChar;
  Device_ReadResp r{};
  if (device_read_1(&p, &r, core) != RPC_SUCCESS) return -1;
  data->assign(r.data.data_val, r.data.data_len);
  if (reason) *reason = r.reason;
  xdr_free(Xdr(xdr_Device_ReadResp), reinterpret_cast<char*>(&r));
  return r.error;
}

long Vxi11Client::ReadStb(long lid, unsigned char* stb) {
  Device_GenericParms p{lid, 0, 0, 1000};
  Device_ReadStbResp r{};
  if (device_readstb_1(&p, &r, core) != RPC_SUCCESS) return -1;
  *stb = r.stb;
  return r.error;
}

long Vxi11Client::Generic(long lid, int procedure) {
  Device_GenericParms p{lid, 0, 0, 1000};
  Device_Error r{};
  auto call = procedure == device_trigger ? &device_trigger_1
              : procedure == device_clear ? &device_clear_1
              : procedure == device_remote ? &device_remote_1
                                           : &device_local_1;
  return call(&p, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Vxi11Client::Lock(long lid, long flags, unsigned long lockTimeout) {
  Device_LockParms p{lid, flags, lockTimeout};
  Device_Error r{};
  return device_lock_1(&p, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Vxi11Client::Unlock(long lid) {
  Device_Error r{};
  return device_unlock_1(&lid, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Vxi11Client::Destroy(long lid) {
  Device_Error r{};
  return destroy_link_1(&lid, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Vxi11Client::Docmd(long lid, long cmd, bool networkOrder, long datasize, const std::string& in,
                        std::string* out) {
  Device_DocmdParms p{};
  p.lid = lid;
  p.io_timeout = 1000;
  p.cmd = cmd;
  p.network_order = networkOrder;
  p.datasize = datasize;
  p.data_in.data_in_val = const_cast<char*>(in.data());
  p.data_in.data_in_len = static_cast<u_int>(in.size());
  Device_DocmdResp r{};
  if (device_docmd_1(&p, &r, core) != RPC_SUCCESS) return -1;
  out->assign(r.data_out.data_out_val, r.data_out.data_out_len);
  xdr_free(Xdr(xdr_Device_DocmdResp), reinterpret_cast<char*>(&r));
  return r.error;
}

long Vxi11Client::EnableSrq(long lid, bool enable, const std::string& handle) {
  Device_EnableSrqParms p{};
  p.lid = lid;
  p.enable = enable;
  p.handle.handle_val = const_cast<char*>(handle.data());
  p.handle.handle_len = static_cast<u_int>(handle.size());
  Device_Error r{};
  return device_enable_srq_1(&p, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Vxi11Client::CreateIntrChan(unsigned short port) {
  Device_RemoteFunc p{INADDR_LOOPBACK, port, DEVICE_INTR, DEVICE_INTR_VERSION, DEVICE_TCP};
  Device_Error r{};
  return create_intr_chan_1(&p, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Vxi11Client::DestroyIntrChan() {
  Device_Error r{};
  return destroy_intr_chan_1(nullptr, &r, core) == RPC_SUCCESS ? r.error : -1;
}

long Abort(unsigned short port, long lid) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int sock = RPC_ANYSOCK;
  CLIENT* abort = clnttcp_create(&addr, DEVICE_ASYNC, DEVICE_ASYNC_VERSION, &sock, 0, 0);
  if (!abort) return -1;
  Device_Error r{};
  long error = device_abort_1(&lid, &r, abort) == RPC_SUCCESS ? r.error : -1;
  clnt_destroy(abort);
  return error;
}

InterruptServer::InterruptServer() {
  listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener, 1);
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  thread = std::thread([this] {
    int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) return;
    connection = fd;
    // Each call is one record: a 4-byte mark, then the call.
    uint32_t mark = 0;
    while (ReadAll(fd, &mark, 4)) {
      std::vector<char> body(ntohl(mark) & 0x7FFFFFFF);
      if (!ReadAll(fd, body.data(), body.size())) break;
      XDR x;
      xdrmem_create(&x, body.data(), static_cast<u_int>(body.size()), XDR_DECODE);
      rpc_msg call{};
      Device_SrqParms p{};
      if (!xdr_callmsg(&x, &call) || call.rm_call.cb_proc != device_intr_srq || !xdr_Device_SrqParms(&x, &p))
        break;
      {
        std::lock_guard<std::mutex> hold(lock);
        handles.emplace_back(p.handle.handle_val, p.handle.handle_len);
      }
      arrived.notify_all();
      xdr_free(Xdr(xdr_Device_SrqParms), reinterpret_cast<char*>(&p));
      xdr_free(Xdr(xdr_callmsg), reinterpret_cast<char*>(&call));
    }
    close(fd);
  });
}

InterruptServer::~InterruptServer() {
  shutdown(listener, SHUT_RDWR);
  if (connection >= 0) shutdown(connection, SHUT_RDWR);
  thread.join();
  close(listener);
}

std::string InterruptServer::Next(int ms) {
  std::unique_lock<std::mutex> hold(lock);
  if (!arrived.wait_for(hold, std::chrono::milliseconds(ms), [this] { return !handles.empty(); })) return "";
  std::string handle = handles.front();
  handles.pop_front();
  return handle;
}
