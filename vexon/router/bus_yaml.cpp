// The checks of keys and values shared by the bus file's readers.
#include "bus_yaml.h"

#include <cerrno>
#include <cstdlib>

namespace vexon {

void YamlFile::Fail(const YAML::Mark& at, const std::string& what) const {
  BusFileError e{path, 0, 0, what};
  if (!at.is_null()) {
    e.line = at.line + 1;
    e.column = at.column + 1;
  }
  throw e;
}

void YamlFile::Fail(const YAML::Node& at, const std::string& what) const { Fail(at.Mark(), what); }

void YamlFile::CheckMap(const YAML::Node& node, const std::string& what) const {
  if (Empty(node)) return;
  if (!node.IsMap()) Fail(node, what + ": expected a mapping");
  for (auto i = node.begin(); i != node.end(); ++i) {
    if (!i->first.IsScalar()) Fail(i->first, what + ": expected a name as key");
    for (auto j = node.begin(); j != i; ++j)
      if (j->first.Scalar() == i->first.Scalar())
        Fail(i->first, what + ": '" + i->first.Scalar() + "' given twice");
  }
}

void YamlFile::CheckKeys(const YAML::Node& node, const std::vector<const char*>& allowed,
                         const std::string& where) const {
  CheckMap(node, where);
  if (Empty(node)) return;
  for (const auto& kv : node) {
    const std::string key = kv.first.Scalar();
    bool known = false;
    std::string list;
    for (const auto* keys : {&allowed, &alsoAllowed})
      for (const char* a : *keys) {
        known = known || key == a;
        list += list.empty() ? a : std::string(", ") + a;
      }
    if (!known) Fail(kv.first, "unknown key '" + key + "' in " + where + " (expected " + list + ")");
  }
}

std::string YamlFile::String(const YAML::Node& node, const std::string& key) const {
  if (!node.IsScalar() || node.Scalar().empty()) Fail(node, key + ": expected a text");
  return node.Scalar();
}

int YamlFile::Int(const YAML::Node& node, const std::string& key, int lo, int hi) const {
  const std::string range = key + ": expected a whole number from " + std::to_string(lo) +
                            " to " + std::to_string(hi);
  if (!node.IsScalar()) Fail(node, range);
  const std::string& text = node.Scalar();
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, hex ? 16 : 10);
  if (text.empty() || *end || errno || v < lo || v > hi) Fail(node, range);
  return static_cast<int>(v);
}

bool YamlFile::Bool(const YAML::Node& node, const std::string& key) const {
  bool value = false;
  if (!node.IsScalar() || !YAML::convert<bool>::decode(node, value))
    Fail(node, key + ": expected true or false");
  return value;
}

bool Empty(const YAML::Node& node) { return !node.IsDefined() || node.IsNull(); }

YAML::Node Child(const YAML::Node& map, const std::string& key) {
  if (map.IsMap())
    for (const auto& kv : map)
      if (kv.first.IsScalar() && kv.first.Scalar() == key) return kv.second;
  return YAML::Node(YAML::NodeType::Undefined);
}

YAML::Node KeyNode(const YAML::Node& map, const std::string& key) {
  if (map.IsMap())
    for (const auto& kv : map)
      if (kv.first.IsScalar() && kv.first.Scalar() == key) return kv.first;
  return YAML::Node(YAML::NodeType::Undefined);
}

std::string LinkName(const YamlFile& file, const YAML::Node& v, const std::string& key) {
  std::string name = file.String(v, key);
  bool ok = !name.empty() && name.size() <= 64;
  for (char c : name) ok = ok && c > ' ' && c < 127;
  if (!ok) file.Fail(v, key + ": expected a link name such as gpib0 or inst0");
  return name;
}

}  // namespace vexon
