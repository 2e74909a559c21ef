// The built-in SCPI multimeter: a described instrument whose definition ships
// in the library, with the habits the built-in instruments have always had
// (no PON at power-on, queries in any case, each response ended on its own, a
// service request while its reason holds, error texts of their own).
#include "../definition_reader.h"
#include "../described/instance.h"
#include "../instrument.h"

namespace vorel::sim {

namespace {

// What every built-in SCPI instrument answers; each adds its own dialogues.
constexpr char kScpiCommon[] = R"(
eom: {GPIB INSTR: {q: "\n", r: "\n"}}
error:
  error_queue:
    - {q: "SYST:ERR?", default: '+0,"No error"', command_error: '-113,"Undefined header"'}
dialogues:
  - {q: "*TRG"}
  - {q: "MEAS:VOLT?", r: "+1.234500E+00"}
  - {q: "MEAS:VOLT:DC?", r: "+1.234500E+00"}
  - {q: "READ?", r: "+1.234500E+00"}
  - {q: "MEAS:CURR?", r: "+2.000000E-03"}
  - {q: "MEAS:CURR:DC?", r: "+2.000000E-03"}
  - {q: "MEAS:RES?", r: "+1.000000E+03"}
)";

}  // namespace

std::shared_ptr<const described::Definition> scpiDefinition(const char* ownDialogues, int statusBits,
                                                            bool requestAtPowerOn) {
  const std::string yaml = std::string(kScpiCommon) + ownDialogues;
  vexon::InstrumentDefinition d;
  const vexon::YamlFile file{"(a built-in instrument)", yaml, {}};
  ReadInstrumentDefinition(file, "built-in", YAML::Load(yaml), d);
  described::BuiltInHabits& h = d.described.habits;
  h.powerOnEvent = h.queryErrors = false;
  h.anyCase = h.responsePerCommand = h.resetClearsOutput = h.requestWhileReason = true;
  h.statusBits = statusBits;
  h.requestAtPowerOn = requestAtPowerOn;
  return std::make_shared<const described::Definition>(d.described);
}

void scpiPowerOn(DeviceState& s, std::shared_ptr<const described::Definition> definition, const char* name) {
  s.described = std::make_shared<described::Instance>();
  s.described->definition = std::move(definition);
  s.described->name = name;
  describedInstrument.powerOn(s);
}

namespace {

constexpr char kMeter[] = R"(
  - {q: "*IDN?", r: "TARNWICK,SIM-DMM,0001,1.0"}
)";

void powerOn(DeviceState& s) {
  static const std::shared_ptr<const described::Definition> definition = scpiDefinition(kMeter, 0, false);
  scpiPowerOn(s, definition, "dmm");
}

}  // namespace

const Instrument scpiMeter{describedInstrument.listen, describedInstrument.talk, describedInstrument.deviceClear,
                           describedInstrument.trigger, describedInstrument.serialPoll, powerOn};
}  // namespace vorel::sim
