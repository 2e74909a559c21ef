// A client's connection to the gateway: its peer, and the interrupt channel
// the client asked for on it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct __rpc_client;

namespace gateway {

struct Connection {
  int id = 0;
  int fd = -1;       // -1 for a connection that is not a socket (the fuzzer's)
  std::string peer;  // "ADDRESS:PORT", for the log

  std::mutex intrLock;  // guards intr
  __rpc_client* intr = nullptr;

  // True once the client has closed or reset the connection.
  bool PeerGone() const;
};

}  // namespace gateway
