// Fuzz target: bus files through the driver's reader. Every input must end
// as a bus or as a BusFileError (the message the driver prints); anything
// else thrown, a crash or a leak is a finding. The described instruments a
// bus has then answer their own queries.
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../vexon/router/bus_file.h"
#include "../vexon/sim/described/instance.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mkdir(VEXON_FUZZ_DIR, 0700);
  return 0;
}

// Puts each described instrument through its own queries and the status
// model's, a read of nothing and the passing of time: the definitions of
// `devices` and those the resources place (a resource's channel ids, a file
// it names, a bundled file).
void Exercise(const vexon::BusConfig& bus) {
  namespace described = vorel::sim::described;
  std::vector<const vexon::InstrumentDefinition*> all;
  for (const vexon::InstrumentDefinition& d : bus.definitions) all.push_back(&d);
  for (const vexon::BoardSettings& b : bus.boards)
    for (const vexon::InstrumentPlacement& p : b.instruments) all.push_back(&p.definition);
  for (const vexon::InstrumentDefinition* definition : all) {
    const vexon::InstrumentDefinition& d = *definition;
    if (!d.model.empty()) continue;
    described::Instance in;
    in.definition = std::make_shared<const described::Definition>(d.described);
    in.name = d.name;
    described::PowerOn(in);
    std::string message = "*IDN?;*STB?;SYST:ERR?;*ESR?;*SRE 16;*RST;*CLS";
    for (const auto& dialogue : d.described.dialogues) message += ";" + dialogue.q;
    for (const auto& p : d.described.properties)
      message += ";" + p.getter.q + ";" + p.setter.prefix + "1" + p.setter.suffix;
    for (const auto& q : d.described.queues) message += ";" + q.q;
    described::Receive(in, message, true, 0);
    described::QueryError(in);
    described::TimePassed(in, INT64_MAX);
    char buf[64];
    bool end = false;
    while (described::Talk(in, buf, sizeof buf, end)) {}
    described::SerialPoll(in);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > vexon::kMaxBusFileSize) return -1;
  const std::string text(reinterpret_cast<const char*>(data), size);
  vexon::BusConfig bus;
  try {
    // Files named by `filename` are looked up beside it, in a scratch folder.
    vexon::ReadBusFile(text, VEXON_FUZZ_DIR "/bus.yaml", bus);
    Exercise(bus);
  } catch (const vexon::BusFileError& e) {
    if (e.what.empty()) __builtin_trap();  // every error says what is wrong
  }
  return 0;
}
