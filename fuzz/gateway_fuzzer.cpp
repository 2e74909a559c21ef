// Fuzz target: the byte stream of a core connection to vorel-gateway, record
// marks and all, served by the gateway's own connection loop on the
// simulated bus in this process. Every input must end in replies or a
// closed connection; a crash, a hang or a leak is a finding.
#include <cstdint>
#include <cstring>
#include <memory>

#include "connection.h"
#include "links.h"
#include "log.h"
#include "rpc_server.h"
#include "srq.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
};

int ReadInput(void* context, void* buffer, int length) {
  auto* in = static_cast<Input*>(context);
  if (in->size == 0) return -1;
  size_t n = std::min(in->size, static_cast<size_t>(length));
  std::memcpy(buffer, in->data, n);
  in->data += n;
  in->size -= n;
  return static_cast<int>(n);
}

int DiscardReply(void*, void*, int length) { return length; }

// Interrupt channels lead nowhere here.
int NoInterruptChannel(uint32_t, uint16_t) {
  errno = ECONNREFUSED;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("VOREL_BUS", FUZZ_GATEWAY_BUS, 1);
  gateway::ConnectInterruptChannel = &NoInterruptChannel;
  gateway::quiet = true;
  gateway::OpenBoards();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto connection = std::make_shared<gateway::Connection>();
  connection->peer = "fuzzer";
  Input in{data, size};
  gateway::ServeCalls(connection, gateway::Channel::kCore, gateway::Stream{&in, &ReadInput, &DiscardReply});
  gateway::CloseLinksOf(*connection);
  gateway::CloseInterruptChannel(*connection);
  return 0;
}
