// A client's connection to the gateway.
#include "connection.h"

#include <poll.h>

namespace gateway {

bool Connection::PeerGone() const {
  if (fd < 0) return false;
  pollfd p{fd, POLLRDHUP, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

}  // namespace gateway
