// An adapter board's entry of the bus file: a serial port with its baud rate,
// or a host with its TCP port.
#include <yaml-cpp/yaml.h>

#include "../router/backend.h"
#include "../router/bus_yaml.h"

namespace vexon::prologix {

void ReadBoardEntry(const YamlFile& file, const YAML::Node& node, BoardSettings& b) {
  const std::string where = "gpib" + std::to_string(b.index);
  file.CheckKeys(node, {"backend", "port", "host", "tcp_port", "baud"}, where + ", a " + b.backend + " board");
  for (const auto& kv : node) {
    const std::string key = kv.first.Scalar();
    const YAML::Node& v = kv.second;
    if (key == "port") b.port = file.String(v, key);
    else if (key == "host") b.host = file.String(v, key);
    else if (key == "tcp_port") b.tcpPort = file.Int(v, key, 1, 65535);
    else if (key == "baud") b.baud = file.Int(v, key, 50, 4000000);
  }
  const bool port = !b.port.empty(), host = !b.host.empty();
  if (port == host)
    file.Fail(port ? KeyNode(node, "host") : node, where + ": give either 'port' (a serial device) or 'host' (TCP)");
  if (port && Child(node, "tcp_port").IsDefined())
    file.Fail(KeyNode(node, "tcp_port"), where + ": 'tcp_port' goes with 'host'");
  if (host && Child(node, "baud").IsDefined()) file.Fail(KeyNode(node, "baud"), where + ": 'baud' goes with 'port'");
}

std::string DescribeBoard(const BoardSettings& b) {
  if (!b.port.empty()) return "port " + b.port + ", baud " + std::to_string(b.baud);
  return "host " + b.host + ", tcp_port " + std::to_string(b.tcpPort);
}

}  // namespace vexon::prologix
