// Sequence source: reads return bytes 0x00..0xFF repeating, without end.
#include "../instrument.h"

namespace vorel::sim {
namespace {
size_t talk(DeviceState& s, uint8_t* buf, size_t max, bool& end) {
  size_t i = 0;
  // Align to the next 0x00, then copy whole 256-byte periods.
  while (i < max && (s.counter & 0xFF) != 0) buf[i++] = static_cast<uint8_t>(s.counter++);
  static const auto period = [] {
    struct P { uint8_t b[256]; } p{};
    for (int k = 0; k < 256; ++k) p.b[k] = static_cast<uint8_t>(k);
    return p;
  }();
  while (max - i >= 256) {
    __builtin_memcpy(buf + i, period.b, 256);
    i += 256;
  }
  while (i < max) buf[i++] = static_cast<uint8_t>(s.counter++);
  end = false;
  return i;
}
uint8_t spoll(DeviceState& s) {
  uint8_t stb = 0x10 | (s.srq ? 0x40 : 0);
  s.srq = false;
  return stb;
}
void clear(DeviceState& s) { s.counter = 0; }
}  // namespace

const Instrument sequenceSource{defaultListen, talk, clear, defaultTrigger, spoll,
                                defaultPowerOn};
}  // namespace vorel::sim
