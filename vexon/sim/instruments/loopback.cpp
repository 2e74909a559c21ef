// Loopback: every message written is returned by the next read.
#include "../instrument.h"

namespace vorel::sim {
namespace {
void listen(DeviceState& s, const uint8_t* d, size_t n, bool) {
  s.output.append(reinterpret_cast<const char*>(d), n);
}
}  // namespace

const Instrument loopback{listen, defaultTalk, defaultClear, defaultTrigger,
                          defaultSerialPoll, defaultPowerOn};
}  // namespace vorel::sim
