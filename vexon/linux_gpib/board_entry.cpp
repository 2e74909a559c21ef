// A linux-gpib board's entry of the bus file: libgpib's board index.
#include <yaml-cpp/yaml.h>

#include "../router/backend.h"
#include "../router/bus_yaml.h"

namespace vexon::linux_gpib {

void ReadBoardEntry(const YamlFile& file, const YAML::Node& node, BoardSettings& b) {
  file.CheckKeys(node, {"backend", "minor"}, "gpib" + std::to_string(b.index) + ", a " + b.backend + " board");
  for (const auto& kv : node)
    if (kv.first.Scalar() == "minor") b.minor = file.Int(kv.second, "minor", 0, 15);
}

std::string DescribeBoard(const BoardSettings& b) { return "minor " + std::to_string(b.minor < 0 ? b.index : b.minor); }

}  // namespace vexon::linux_gpib
