// One simulated instrument model: a table of handlers the bus calls as a
// controller addresses the device. Models fill only what they care about;
// the shared defaults in instrument.cpp fill the rest.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vorel::sim {

namespace described {
struct Instance;
struct Definition;
}

// Bytes waiting to be talked. Taking bytes from the front moves nothing, so a
// device holding megabytes is drained in small reads at the cost of the bytes
// read; the space read is given back when the queue empties or is appended to.
class TalkQueue {
 public:
  bool empty() const { return start_ == bytes_.size(); }
  size_t size() const { return bytes_.size() - start_; }
  const char* data() const { return bytes_.data() + start_; }
  void clear() {
    bytes_.clear();
    start_ = 0;
  }
  TalkQueue& operator=(std::string_view text) {
    bytes_.assign(text);
    start_ = 0;
    return *this;
  }
  TalkQueue& operator+=(std::string_view text) { return append(text.data(), text.size()); }
  TalkQueue& append(const char* p, size_t n) {
    if (start_ > 0 && start_ >= bytes_.size() / 2) {
      bytes_.erase(0, start_);
      start_ = 0;
    }
    bytes_.append(p, n);
    return *this;
  }
  // Drops the first n bytes (at most size()).
  void consume(size_t n) {
    start_ += n;
    if (start_ >= bytes_.size()) clear();
  }

 private:
  std::string bytes_;
  size_t start_ = 0;
};

// Per-instance state the bus keeps for each device.
struct DeviceState {
  TalkQueue output;             // bytes waiting to be talked
  std::string input;            // message being received
  uint8_t stbUser = 0;          // model-specific status byte bits
  bool srq = false;             // requesting service (RQS)
  bool remote = false, lockout = false;
  uint64_t counter = 0;
  // A described instrument's own state (the meter and the faulty device are
  // described instruments too; null for the other built-in models); its
  // service request is mirrored in srq after every call into it.
  std::shared_ptr<described::Instance> described;
};

struct Instrument {
  // Bytes received while listening; end = EOI on the last byte.
  void (*listen)(DeviceState&, const uint8_t* data, size_t n, bool end);
  // Fill up to max bytes while talking; set end when the last byte carries EOI.
  size_t (*talk)(DeviceState&, uint8_t* buf, size_t max, bool& end);
  void (*deviceClear)(DeviceState&);
  void (*trigger)(DeviceState&);
  uint8_t (*serialPoll)(DeviceState&);
  void (*powerOn)(DeviceState&);
};

// Shared defaults.
void defaultListen(DeviceState&, const uint8_t*, size_t, bool);
size_t defaultTalk(DeviceState&, uint8_t* buf, size_t max, bool& end);  // drains output
void defaultClear(DeviceState&);
void defaultTrigger(DeviceState&);
uint8_t defaultSerialPoll(DeviceState&);
void defaultPowerOn(DeviceState&);

extern const Instrument scpiMeter, loopback, sequenceSource, secondaryOnly, faultyDevice;
// An instrument the bus file describes (pyvisa-sim's format); its state is
// DeviceState::described.
extern const Instrument describedInstrument;

// The built-in model of a definition's `model` value, or null.
const Instrument* findModel(const std::string& name);

}  // namespace vorel::sim

namespace vorel::sim {
// The built-in SCPI instruments (meter, faulty) are described instruments
// whose definitions ship in the library: the readings and error queue they
// share plus ownDialogues (YAML list items), read once with the habits those
// instruments have always had, and its power-on.
std::shared_ptr<const described::Definition> scpiDefinition(const char* ownDialogues, int statusBits,
                                                            bool requestAtPowerOn);
void scpiPowerOn(DeviceState&, std::shared_ptr<const described::Definition> definition, const char* name);
}  // namespace vorel::sim
