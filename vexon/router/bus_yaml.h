// Reading the bus file's YAML: the error every check throws, with the place
// it names, and the checks of keys and values the readers share.
#pragma once
#include <yaml-cpp/yaml.h>

#include <vector>
#include <string>

namespace vexon {

// What is wrong and where: the file, line and column (from 1; 0 when unknown).
struct BusFileError {
  std::string file;
  int line = 0, column = 0;
  std::string what;
};

// The file whose nodes are being read, for the errors of the checks below.
struct YamlFile {
  std::string path;
  std::string text;  // what was read: the spelling of a null, which yaml-cpp drops
  // Keys CheckKeys also allows: the router's own keys of the entry a back
  // end checks (a board's `record`).
  std::vector<const char*> alsoAllowed;

  [[noreturn]] void Fail(const YAML::Node& at, const std::string& what) const;
  [[noreturn]] void Fail(const YAML::Mark& at, const std::string& what) const;

  // Checks that node is a mapping (absent or null counts as an empty one) with
  // string keys, each given once and each among allowed; `what` names the
  // entry in messages.
  void CheckMap(const YAML::Node& node, const std::string& what) const;
  void CheckKeys(const YAML::Node& node, const std::vector<const char*>& allowed,
                 const std::string& where) const;

  std::string String(const YAML::Node& node, const std::string& key) const;
  int Int(const YAML::Node& node, const std::string& key, int lo, int hi) const;
  bool Bool(const YAML::Node& node, const std::string& key) const;
};

// A link name of a VXI-11 server ("gpib0", "inst0", "gpib0,5"): printable,
// without spaces, at most 64 characters; key names it in the message.
std::string LinkName(const YamlFile& file, const YAML::Node& v, const std::string& key);

// An absent node or a null value: an empty mapping where one is expected.
bool Empty(const YAML::Node& node);
// The node of key in a mapping, found in order (yaml-cpp keeps duplicates).
YAML::Node Child(const YAML::Node& map, const std::string& key);
// The node of a key, for its mark.
YAML::Node KeyNode(const YAML::Node& map, const std::string& key);

}  // namespace vexon
