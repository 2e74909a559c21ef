// Faulty device: requests service from power-on until serially polled, and its
// self test fails.
#include "../instrument.h"

namespace vorel::sim {
namespace {
void listen(DeviceState& s, const uint8_t* d, size_t n, bool end) { scpiListen(s, d, n, end, true); }
void powerOn(DeviceState& s) {
  s.stbUser = 0x01;
  s.srq = true;
}
}  // namespace

const Instrument faultyDevice{listen, defaultTalk, scpiClear, defaultTrigger, scpiSerialPoll,
                              powerOn};
}  // namespace vorel::sim
