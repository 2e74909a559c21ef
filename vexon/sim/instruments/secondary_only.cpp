// Reachable only at its secondary address: answers any query with "SECONDARY\n".
#include "../instrument.h"

namespace vorel::sim {
namespace {
void listen(DeviceState& s, const uint8_t* d, size_t n, bool end) {
  s.input.append(reinterpret_cast<const char*>(d), n);
  if (end || (!s.input.empty() && s.input.back() == '\n')) {
    if (s.input.find('?') != std::string::npos) s.output = "SECONDARY\n";
    s.input.clear();
  }
}
}  // namespace

const Instrument secondaryOnly{listen, defaultTalk, defaultClear, defaultTrigger,
                               defaultSerialPoll, defaultPowerOn};
}  // namespace vorel::sim
