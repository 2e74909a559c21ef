// The gateway's entry with the portmapper.
#include "portmapper.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include "vxi11.h"

namespace gateway {

namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

// True when something accepts connections on the loopback at `port`.
bool Listening(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr = Loopback(port);
  bool up = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return up;
}

}  // namespace

bool RegisterCore(uint16_t port, std::string* problem) {
  sockaddr_in portmapper = Loopback(PMAPPORT);
  if (!Listening(PMAPPORT) || pmap_getport(&portmapper, PMAPPROG, PMAPVERS, IPPROTO_TCP) == 0) {
    *problem = "no portmapper on this machine: install and start rpcbind";
    return false;
  }
  uint16_t other = pmap_getport(&portmapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
  if (other != 0) {
    if (Listening(other)) {
      *problem = "another VXI-11 server is registered with the portmapper (port " + std::to_string(other) +
                 "): stop it first";
      return false;
    }
    pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);  // left by a server that is gone
  }
  if (!pmap_set(DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, port)) {
    *problem = "the portmapper refused to register the VXI-11 core program: is rpcbind running as root?";
    return false;
  }
  return true;
}

void UnregisterCore() { pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION); }

}  // namespace gateway
