// Reading one instrument definition of the bus file's `devices`: `model:`
// alone (a built-in instrument) or pyvisa-sim's keys (a described one), read
// as pyvisa-sim reads them.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "../router/bus_config.h"
#include "../router/bus_yaml.h"

namespace vorel::sim {

using vexon::ChannelIds;

// Reads the definition `node` named `name` from `file` into `out`, with the
// ids channelIds gives in place of the groups' own. With idsFromResources a
// channel group without ids is no fault yet (each resource that places the
// definition must give them); it has no channels and channelsWithoutIds is
// set. Throws vexon::BusFileError with the place of the first fault.
void ReadInstrumentDefinition(const vexon::YamlFile& file, const std::string& name,
                              const YAML::Node& node, vexon::InstrumentDefinition& out,
                              const ChannelIds& channelIds = {}, bool idsFromResources = false);

// The names of the built-in models, for messages.
std::string ModelNames();

}  // namespace vorel::sim
