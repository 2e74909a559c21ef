// Reading one instrument definition of the bus file's `devices`.
#pragma once
#include "../router/bus_config.h"
#include "../router/bus_yaml.h"

namespace vorel::sim {

// Reads the definition `node` named `name` from `file` into `out`: either
// `model:` alone (a built-in instrument), or a described instrument's keys
// (eom, error, dialogues, properties, status). Throws BusFileError.
void ReadInstrumentDefinition(const vexon::YamlFile& file, const std::string& name,
                              const YAML::Node& node, vexon::InstrumentDefinition& out);

// The names of the built-in models, for messages.
std::string ModelNames();

}  // namespace vorel::sim
