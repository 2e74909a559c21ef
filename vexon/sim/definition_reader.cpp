// One instrument definition of `devices`. A definition with `model` places a
// built-in instrument; one without is a described instrument, whose keys are
// checked here for their shape and kept for the simulator.
#include "definition_reader.h"

#include "instrument.h"

namespace vorel::sim {

namespace {

// Features of described instruments the simulator does not have yet; each
// is an error at its place in the file.
void RejectUnsupported(const vexon::YamlFile& file, const YAML::Node& node) {
  if (node.IsScalar()) {
    for (const char* directive : {"RANDOM(", "BYTES("})
      if (node.Scalar().find(directive) != std::string::npos)
        file.Fail(node, std::string(directive) + "...) is not supported yet");
  } else if (node.IsSequence()) {
    for (const auto& item : node) RejectUnsupported(file, item);
  } else if (node.IsMap()) {
    for (const auto& kv : node) {
      if (kv.first.IsScalar() && kv.first.Scalar() == "channels")
        file.Fail(kv.first, "'channels' is not supported yet");
      RejectUnsupported(file, kv.second);
    }
  }
}

// The shape each key of a described instrument must have.
struct DescribedKey {
  const char* key;
  bool (*shapeOk)(const YAML::Node&);
  const char* shape;
};
const DescribedKey kDescribedKeys[] = {
    {"eom", [](const YAML::Node& n) { return n.IsMap(); }, "a mapping"},
    {"error", [](const YAML::Node& n) { return n.IsScalar() || n.IsMap(); }, "a text or a mapping"},
    {"dialogues", [](const YAML::Node& n) { return n.IsSequence(); }, "a list"},
    {"properties", [](const YAML::Node& n) { return n.IsMap(); }, "a mapping"},
    {"status", [](const YAML::Node& n) { return n.IsScalar(); }, "on, off, true or false"},
};

}  // namespace

std::string ModelNames() {
  std::string list;
  for (const char* m : {"meter", "loopback", "sequence", "secondary", "faulty"})
    list += list.empty() ? m : std::string(", ") + m;
  return list;
}

void ReadInstrumentDefinition(const vexon::YamlFile& file, const std::string& name,
                              const YAML::Node& node, vexon::InstrumentDefinition& out) {
  const std::string where = "device " + name;
  out.name = name;
  out.file = file.path;
  out.line = node.Mark().line + 1;
  file.CheckMap(node, where);
  if (vexon::Empty(node) || node.size() == 0) file.Fail(node, where + ": empty definition");
  RejectUnsupported(file, node);
  if (YAML::Node model = vexon::Child(node, "model"); model.IsDefined()) {
    for (const auto& kv : node)
      if (kv.first.Scalar() != "model")
        file.Fail(kv.first, where + ": a definition with 'model' has no other keys");
    out.model = file.String(model, "model");
    if (!findModel(out.model))
      file.Fail(model, "unknown model '" + out.model + "' (expected " + ModelNames() + ")");
    return;
  }
  std::vector<const char*> keys;
  for (const DescribedKey& k : kDescribedKeys) keys.push_back(k.key);
  file.CheckKeys(node, keys, where);
  for (const DescribedKey& k : kDescribedKeys) {
    YAML::Node value = vexon::Child(node, k.key);
    if (!value.IsDefined()) continue;
    if (!k.shapeOk(value)) file.Fail(value, std::string(k.key) + ": expected " + k.shape);
    out.described.keys[k.key] = YAML::Dump(value);
  }
  if (YAML::Node status = vexon::Child(node, "status"); status.IsDefined()) {
    bool on = true;
    if (!YAML::convert<bool>::decode(status, on))
      file.Fail(status, "unknown status value '" + status.Scalar() + "' (expected on, off, true or false)");
  }
}

}  // namespace vorel::sim
