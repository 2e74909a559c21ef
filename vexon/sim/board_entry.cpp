// A sim board's entry of the bus file: its primary address and whether it is
// system controller; the instruments on it come from `resources`.
#include <yaml-cpp/yaml.h>

#include "../router/backend.h"
#include "../router/bus_yaml.h"

namespace vorel::sim {

void ReadBoardEntry(const vexon::YamlFile& file, const YAML::Node& node, vexon::BoardSettings& b) {
  file.CheckKeys(node, {"backend", "pad", "system_controller"},
                 "gpib" + std::to_string(b.index) + ", a " + b.backend + " board");
  for (const auto& kv : node) {
    const std::string key = kv.first.Scalar();
    if (key == "pad") b.pad = file.Int(kv.second, key, 0, 30);
    else if (key == "system_controller") b.systemController = file.Bool(kv.second, key);
  }
}

std::string DescribeBoard(const vexon::BoardSettings& b) {
  return "pad " + std::to_string(b.pad) + (b.systemController ? ", system controller" : "");
}

}  // namespace vorel::sim
