// Faulty device: requests service from power-on until serially polled, and its
// self test fails; otherwise it answers as the meter does.
#include "../described/instance.h"
#include "../instrument.h"

namespace vorel::sim {
namespace {

constexpr char kFaulty[] = R"(
eom: {GPIB INSTR: {q: "\n", r: "\n"}}
error:
  error_queue:
    - {q: "SYST:ERR?", default: '+0,"No error"', command_error: '-113,"Undefined header"'}
dialogues:
  - {q: "*IDN?", r: "TARNWICK,SIM-FAULTY,0005,1.0"}
  - {q: "*TST?", r: "1"}
  - {q: "*TRG"}
  - {q: "MEAS:VOLT?", r: "+1.234500E+00"}
  - {q: "MEAS:VOLT:DC?", r: "+1.234500E+00"}
  - {q: "READ?", r: "+1.234500E+00"}
  - {q: "MEAS:CURR?", r: "+2.000000E-03"}
  - {q: "MEAS:CURR:DC?", r: "+2.000000E-03"}
  - {q: "MEAS:RES?", r: "+1.000000E+03"}
)";

void powerOn(DeviceState& s) {
  static const std::shared_ptr<const described::Definition> definition = scpiDefinition(kFaulty, 0x01, true);
  scpiPowerOn(s, definition, "faulty");
}

}  // namespace

const Instrument faultyDevice{describedInstrument.listen, describedInstrument.talk, describedInstrument.deviceClear,
                              describedInstrument.trigger, describedInstrument.serialPoll, powerOn};
}  // namespace vorel::sim
