// A vxi11 board's entry of the bus file: the server's host, its interface
// link and how long connecting may take.
#include <yaml-cpp/yaml.h>

#include "board.h"

namespace vexon::vxi11 {

void ReadBoardEntry(const YamlFile& file, const YAML::Node& node, BoardSettings& b) {
  const std::string where = "gpib" + std::to_string(b.index);
  file.CheckKeys(node, {"backend", "host", "interface", "timeout"}, where + ", a vxi11 board");
  for (const auto& kv : node) {
    const std::string key = kv.first.Scalar();
    const YAML::Node& v = kv.second;
    if (key == "host") b.host = file.String(v, key);
    else if (key == "interface") b.interfaceName = LinkName(file, v, key);
    else if (key == "timeout") b.connectTimeout = file.Int(v, key, 1, 300);
  }
  if (b.host.empty()) file.Fail(node, where + ": a vxi11 board needs 'host' (the server's name or address)");
}

std::string DescribeBoard(const BoardSettings& b) {
  return "host " + b.host + ", interface " + b.interfaceName + ", timeout " + std::to_string(b.connectTimeout) + " s";
}

}  // namespace vexon::vxi11
