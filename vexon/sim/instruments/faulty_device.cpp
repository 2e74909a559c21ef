// Faulty device: requests service from power-on until serially polled, and its
// self test fails; otherwise it answers as the meter does.
#include "../described/instance.h"
#include "../instrument.h"

namespace vorel::sim {
namespace {

constexpr char kFaulty[] = R"(
  - {q: "*IDN?", r: "TARNWICK,SIM-FAULTY,0005,1.0"}
  - {q: "*TST?", r: "1"}
)";

void powerOn(DeviceState& s) {
  static const std::shared_ptr<const described::Definition> definition = scpiDefinition(kFaulty, 0x01, true);
  scpiPowerOn(s, definition, "faulty");
}

}  // namespace

const Instrument faultyDevice{describedInstrument.listen, describedInstrument.talk, describedInstrument.deviceClear,
                              describedInstrument.trigger, describedInstrument.serialPoll, powerOn};
}  // namespace vorel::sim
