// An instrument the bus file describes: the bus's handlers over
// described::Instance, at the bus's time, with its service request mirrored
// for the bus.
#include "../bus.h"
#include "../described/instance.h"
#include "../instrument.h"

namespace vorel::sim {
namespace {

described::Instance& of(DeviceState& s) { return *s.described; }
void mirror(DeviceState& s) { s.srq = s.described->status.srq; }

void listen(DeviceState& s, const uint8_t* d, size_t n, bool end) {
  described::Receive(of(s), std::string_view(reinterpret_cast<const char*>(d), n), end, bus().now);
  mirror(s);
}

size_t talk(DeviceState& s, uint8_t* buf, size_t max, bool& end) {
  size_t n = described::Talk(of(s), reinterpret_cast<char*>(buf), max, end);
  mirror(s);
  return n;
}

void clear(DeviceState& s) {
  described::DeviceClear(of(s));
  mirror(s);
}

uint8_t serialPoll(DeviceState& s) {
  uint8_t stb = described::SerialPoll(of(s));
  mirror(s);
  return stb;
}

void powerOn(DeviceState& s) {
  described::PowerOn(of(s));
  mirror(s);
}
}  // namespace

const Instrument describedInstrument{listen, talk, clear, defaultTrigger, serialPoll, powerOn};
}  // namespace vorel::sim
