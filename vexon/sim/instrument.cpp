#include "instrument.h"

#include <algorithm>
#include <cstring>

namespace vorel::sim {

void defaultListen(DeviceState&, const uint8_t*, size_t, bool) {}

size_t defaultTalk(DeviceState& s, uint8_t* buf, size_t max, bool& end) {
  size_t n = std::min(max, s.output.size());
  if (n) std::memcpy(buf, s.output.data(), n);
  s.output.consume(n);
  end = n > 0 && s.output.empty();
  return n;
}

void defaultClear(DeviceState& s) {
  s.output.clear();
  s.input.clear();
}

void defaultTrigger(DeviceState&) {}

uint8_t defaultSerialPoll(DeviceState& s) {
  uint8_t stb = s.stbUser | (s.output.empty() ? 0 : 0x10) | (s.srq ? 0x40 : 0);
  s.srq = false;
  return stb;
}

void defaultPowerOn(DeviceState&) {}

namespace {
struct Model {
  const char* name;
  const Instrument* instrument;
};
const Model kModels[] = {
    {"meter", &scpiMeter},         {"loopback", &loopback},  {"sequence", &sequenceSource},
    {"secondary", &secondaryOnly}, {"faulty", &faultyDevice},
};
}  // namespace

const Instrument* findModel(const std::string& name) {
  for (const Model& m : kModels)
    if (name == m.name) return m.instrument;
  return nullptr;
}

}  // namespace vorel::sim
