// One instrument definition of `devices`. A definition with `model` places a
// built-in instrument; one without is a described instrument, read as
// pyvisa-sim reads it: every scalar is text (`~` too), spaces around q, r
// and e are dropped, "\n" and "\r" written as two characters become LF and
// CR in messages, and of two dialogues with the same q the last one answers.
#include "definition_reader.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>

#include "described/field_format.h"

namespace vorel::sim {

namespace {

using described::Channel;
using described::Definition;
using described::Dialogue;
using described::ErrorQueue;
using described::ErrorRegister;
using described::Nanoseconds;
using described::Property;
using described::Response;
using described::Value;
using described::ValueType;

constexpr const char* kModels[] = {"meter", "loopback", "sequence", "secondary", "faulty"};

// The keys of a described instrument and the shape each must have.
struct DescribedKey {
  const char* key;
  bool (*shapeOk)(const YAML::Node&);
  const char* shape;
};
const DescribedKey kDescribedKeys[] = {
    {"eom", [](const YAML::Node& n) { return n.IsMap(); }, "a mapping"},
    {"error", [](const YAML::Node& n) { return !n.IsSequence(); }, "a text or a mapping"},
    {"dialogues", [](const YAML::Node& n) { return n.IsSequence(); }, "a list"},
    {"properties", [](const YAML::Node& n) { return n.IsMap(); }, "a mapping"},
    {"channels", [](const YAML::Node& n) { return n.IsMap(); }, "a mapping"},
    {"status", [](const YAML::Node& n) { return n.IsScalar(); }, "on, off, true or false"},
};

// The file being read and the channel whose keys are being read, if any.
struct Reader {
  const vexon::YamlFile& file;
  std::string chId;  // replaces "{ch_id}" in messages
  const ChannelIds& channelIds;
  bool idsFromResources;

  [[noreturn]] void Fail(const YAML::Node& at, const std::string& what) const { file.Fail(at, what); }

  void ExpectMap(const YAML::Node& n, const std::string& what) const {
    if (!n.IsMap()) Fail(n, what + " must be a mapping");
  }
  void ExpectSequence(const YAML::Node& n, const std::string& what) const {
    if (!n.IsSequence()) Fail(n, what + " must be a list");
  }

  // The keys of a mapping, each checked against those allowed.
  template <class F>
  void ForKeys(const YAML::Node& map, const std::string& what, std::initializer_list<const char*> allowed,
               F f) const {
    ExpectMap(map, what);
    for (const auto& kv : map) {
      if (!kv.first.IsScalar()) Fail(kv.first, "a key of " + what + " must be a name");
      const std::string key = kv.first.Scalar();
      bool known = false;
      std::string list;
      for (const char* a : allowed) {
        known = known || key == a;
        list += (list.empty() ? "" : ", ") + std::string(a);
      }
      if (!known) Fail(kv.first, "unknown key '" + key + "' in " + what + " (expected " + list + ")");
      f(key, kv.second);
    }
  }

  // A scalar as text. yaml-cpp forgets how a null was written; the file's
  // text still has it ("~", "null"; nothing written is the empty text).
  std::string Text(const YAML::Node& n, const std::string& what) const {
    if (n.IsScalar()) return n.Scalar();
    if (!n.IsNull()) Fail(n, what + " must be a string");
    const std::string& t = file.text;
    const size_t at = n.Mark().pos;
    if (at >= t.size() || n.Mark().is_null()) return "";
    if (t[at] == '~') return "~";
    for (const char* word : {"null", "Null", "NULL"}) {
      const size_t len = std::strlen(word);
      if (t.compare(at, len, word) == 0 && (at + len == t.size() || !std::isalnum(static_cast<unsigned char>(t[at + len]))))
        return word;
    }
    return "";
  }

  // A message of the file: q, r or e (spaces around it dropped), with
  // escapes turned into bytes where pyvisa-sim does.
  std::string Message(const YAML::Node& n, const std::string& what, bool escapes) const {
    std::string t = Text(n, what);
    t.erase(0, std::min(t.size(), t.find_first_not_of(' ')));
    t.erase(t.find_last_not_of(' ') + 1);
    if (!chId.empty())
      for (size_t at; (at = t.find("{ch_id}")) != std::string::npos;) t.replace(at, 7, chId);
    return escapes ? Unescape(t) : t;
  }

  Response ReadResponse(const std::string& text) const {
    if (text == "null_response") return {};
    return {true, text};
  }
  Response MessageResponse(const YAML::Node& n, const std::string& what, bool escapes) const {
    return ReadResponse(Message(n, what, escapes));
  }
  Response TextResponse(const YAML::Node& n, const std::string& what) const {
    return ReadResponse(Unescape(Text(n, what)));
  }

  static std::string Unescape(std::string t) {
    for (size_t at = 0; (at = t.find('\\', at)) != std::string::npos && at + 1 < t.size(); ++at)
      if (t[at + 1] == 'n' || t[at + 1] == 'r') t.replace(at, 2, 1, t[at + 1] == 'n' ? '\n' : '\r');
    return t;
  }

  // The bytes of text whose characters each stand for one byte (U+0000 to
  // U+00FF, as YAML's "\xNN" writes them), when one of them is no printable
  // ASCII character; nullopt otherwise.
  static std::optional<std::string> CharacterBytes(const std::string& text) {
    std::string out;
    bool binary = false;
    for (size_t i = 0; i < text.size(); ++i) {
      unsigned c = static_cast<unsigned char>(text[i]);
      if (c >= 0x80) {
        // Two-byte UTF-8 of U+0080 to U+00FF only.
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= text.size() || (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80)
          return std::nullopt;
        c = ((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F);
      }
      binary = binary || c < 0x20 || c >= 0x7F;
      out += static_cast<char>(c);
    }
    if (!binary) return std::nullopt;
    return out;
  }

  // BYTES(hex) replaced by the bytes it names, and BYTES(...) of characters
  // that stand for bytes by those bytes; anything else stays as written.
  static std::string Bytes(const std::string& t) {
    std::string out;
    size_t at = 0;
    for (size_t open; (open = t.find("BYTES(", at)) != std::string::npos;) {
      const size_t close = t.find(')', open);
      if (close == std::string::npos) break;
      std::string hex;
      for (char c : t.substr(open + 6, close - open - 6))
        if (!std::isspace(static_cast<unsigned char>(c))) hex += c;
      bool ok = !hex.empty() && hex.size() % 2 == 0;
      for (char c : hex) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
      out += t.substr(at, open - at);
      const std::optional<std::string> raw = ok ? std::nullopt : CharacterBytes(t.substr(open + 6, close - open - 6));
      if (ok)
        for (size_t i = 0; i < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      else if (raw)
        out += *raw;
      else
        out += t.substr(open, close + 1 - open);
      at = close + 1;
    }
    return out + t.substr(at);
  }

  std::optional<Value> Convert(const std::string& text, ValueType type, bool nonFinite = false) const {
    if (type == ValueType::Str) return Value(text);
    return described::ReadValue(text, type, nonFinite);
  }

  Value ConvertOrFail(const YAML::Node& n, ValueType type, const std::string& what) const {
    std::optional<Value> v = Convert(Text(n, what), type, true);
    if (!v) {
      static const char* const kNames[] = {"an int", "a float", "a string"};
      Fail(n, what + " must be " + kNames[static_cast<int>(type)]);
    }
    return *v;
  }

  double Number(const YAML::Node& n, const std::string& what) const {
    std::optional<Value> v = described::ReadValue(Text(n, what), ValueType::Float);
    if (!v) Fail(n, what + " must be a number");
    return std::get<double>(*v);
  }

  int Bits(const YAML::Node& n, const std::string& what) const {
    std::optional<Value> v = described::ReadValue(Text(n, what), ValueType::Int);
    if (!v || std::get<long long>(*v) < 0 || std::get<long long>(*v) > 0xFFFF)
      Fail(n, what + " must be a number from 0 to 65535");
    return static_cast<int>(std::get<long long>(*v));
  }

  // Delays run up to a day of bus time.
  Nanoseconds Delay(const YAML::Node& n) const {
    double s = Number(n, "delay");
    if (s < 0 || s > 86400) Fail(n, "delay must be from 0 to 86400 seconds");
    return static_cast<Nanoseconds>(std::llround(s * 1e9));
  }

  void ReadEom(const YAML::Node& n, Definition& d) const {
    ExpectMap(n, "eom");
    for (const auto& kv : n) {
      if (!kv.first.IsScalar()) Fail(kv.first, "a key of eom must be a resource type");
      // Other interfaces' ends are pyvisa-sim's business.
      if (kv.first.Scalar() != "GPIB INSTR") continue;
      ForKeys(kv.second, "eom", {"q", "r"}, [&](const std::string& key, const YAML::Node& v) {
        (key == "q" ? d.q : d.r) = Unescape(Text(v, key));
      });
    }
  }

  void ReadErrors(const YAML::Node& n, Definition& d) const {
    if (!n.IsMap()) {
      d.commandError = TextResponse(n, "error");
      return;
    }
    ForKeys(n, "error", {"response", "status_register", "error_queue"}, [&](const std::string& key,
                                                                           const YAML::Node& v) {
      if (key == "response") {
        ForKeys(v, "response", {"command_error", "query_error"}, [&](const std::string& k, const YAML::Node& r) {
          (k == "command_error" ? d.commandError : d.queryError) = TextResponse(r, k);
        });
      } else if (key == "status_register") {
        ExpectSequence(v, "status_register");
        for (const auto& item : v) {
          ErrorRegister reg;
          ForKeys(item, "a status register", {"q", "command_error", "query_error"},
                  [&](const std::string& k, const YAML::Node& x) {
                    if (k == "q") reg.q = Text(x, "q");
                    else (k == "command_error" ? reg.commandError : reg.queryError) = Bits(x, k);
                  });
          if (reg.q.empty()) Fail(item, "a status register needs its query 'q'");
          d.registers.push_back(reg);
        }
      } else {
        ExpectSequence(v, "error_queue");
        for (const auto& item : v) {
          ErrorQueue queue;
          ForKeys(item, "an error queue", {"q", "default", "command_error", "query_error"},
                  [&](const std::string& k, const YAML::Node& x) {
                    if (k == "q") queue.q = Text(x, "q");
                    else if (k == "default") queue.empty = Unescape(Text(x, "default"));
                    else (k == "command_error" ? queue.commandError : queue.queryError) = TextResponse(x, k);
                  });
          if (queue.q.empty()) Fail(item, "an error queue needs its query 'q'");
          d.queues.push_back(queue);
        }
      }
    });
  }

  void ReadDialogues(const YAML::Node& n, std::vector<Dialogue>& out, const Channel& channel) const {
    ExpectSequence(n, "dialogues");
    std::vector<Dialogue> read;
    for (const auto& item : n) {
      Dialogue dialogue;
      dialogue.channel = channel;
      bool hasQ = false;
      ForKeys(item, "a dialogue", {"q", "r", "delay"}, [&](const std::string& k, const YAML::Node& x) {
        if (k == "q") dialogue.q = Bytes(Message(x, "q", true)), hasQ = true;
        else if (k == "r") dialogue.r = ReadResponse(Bytes(Message(x, "r", true)));
        else dialogue.delay = Delay(x);
      });
      if (!hasQ) Fail(item, "a dialogue needs its query 'q'");
      dialogue.random = dialogue.r.present && described::HasRandom(dialogue.r.text);
      // Of two dialogues with the same query the last one answers.
      bool replaced = false;
      for (Dialogue& earlier : read)
        if (earlier.q == dialogue.q) earlier = dialogue, replaced = true;
      if (!replaced) read.push_back(dialogue);
    }
    out.insert(out.end(), read.begin(), read.end());
  }

  ValueType TypeName(const YAML::Node& n) const {
    struct Name {
      const char* name;
      ValueType type;
    };
    static const Name kTypes[] = {{"float", ValueType::Float}, {"int", ValueType::Int}, {"str", ValueType::Str}};
    std::string t = Text(n, "type");
    for (const Name& k : kTypes)
      if (t == k.name) return k.type;
    Fail(n, "type must be float, int or str");
  }

  // The type letter of the one field of part's pattern (a setter's q, a
  // getter's r), when it has exactly one.
  std::optional<char> FieldOf(const YAML::Node& part, const char* key) const {
    if (!part || !part.IsMap() || !part[key] || !part[key].IsScalar()) return std::nullopt;
    described::Pattern pattern;
    if (!described::SplitPattern(Message(part[key], key, false), pattern) || pattern.fields != 1) return std::nullopt;
    return pattern.field;
  }

  // The property's type: specs.type, else the setter's field, else the
  // getter's, else what the default reads as.
  ValueType PropertyType(const YAML::Node& p) const {
    if (p["specs"] && p["specs"].IsMap() && p["specs"]["type"]) return TypeName(p["specs"]["type"]);
    if (std::optional<char> f = FieldOf(p["setter"], "q")) return described::TypeOfField(*f);
    if (std::optional<char> f = FieldOf(p["getter"], "r")) return described::TypeOfField(*f);
    const YAML::Node def = p["default"];
    if (def && def.IsScalar()) {
      if (described::ReadValue(def.Scalar(), ValueType::Int)) return ValueType::Int;
      if (described::ReadValue(def.Scalar(), ValueType::Float, true)) return ValueType::Float;
    }
    return ValueType::Str;
  }

  Value Bound(const YAML::Node& n, ValueType type, const std::string& what) const {
    if (type == ValueType::Str) return Value(Text(n, what));
    return Value(Number(n, what));
  }

  Property ReadProperty(const std::string& name, const YAML::Node& p, const Channel& channel) const {
    Property prop;
    prop.name = name;
    prop.channel = channel;
    ExpectMap(p, "a property");
    prop.type = PropertyType(p);
    prop.initial = prop.type == ValueType::Int ? Value(0LL) : prop.type == ValueType::Float ? Value(0.0) : Value(std::string());
    YAML::Node getterFormat;
    ForKeys(p, "a property", {"default", "getter", "setter", "specs"}, [&](const std::string& k, const YAML::Node& x) {
      if (k == "default") {
        prop.initial = ConvertOrFail(x, prop.type, "default");
      } else if (k == "getter") {
        prop.getter.present = true;
        bool hasQ = false;
        ForKeys(x, "a getter", {"q", "r", "delay"}, [&](const std::string& gk, const YAML::Node& g) {
          if (gk == "q") prop.getter.q = Message(g, "q", true), hasQ = true;
          else if (gk == "r") prop.getter.r = MessageResponse(g, "r", false), getterFormat.reset(g);
          else prop.getter.delay = Delay(g);
        });
        if (!hasQ) Fail(x, "a getter needs its query 'q'");
      } else if (k == "setter") {
        prop.setter.present = true;
        bool hasQ = false;
        ForKeys(x, "a setter", {"q", "r", "e"}, [&](const std::string& sk, const YAML::Node& s) {
          if (sk == "q") {
            described::Pattern pattern;
            if (!described::SplitPattern(Message(s, "q", false), pattern) || pattern.fields != 1)
              Fail(s, "a setter's q needs exactly one replacement field {}");
            prop.setter.prefix = pattern.prefix;
            prop.setter.suffix = pattern.suffix;
            prop.setter.field = pattern.field;
            hasQ = true;
          } else {
            (sk == "r" ? prop.setter.r : prop.setter.e) = MessageResponse(s, sk, true);
            prop.setter.hasE = prop.setter.hasE || sk == "e";
          }
        });
        if (!hasQ) Fail(x, "a setter needs its pattern 'q'");
      } else {
        ForKeys(x, "specs", {"min", "max", "valid", "type"}, [&](const std::string& sk, const YAML::Node& s) {
          if (sk == "min") prop.hasMin = true, prop.min = Bound(s, prop.type, "min");
          else if (sk == "max") prop.hasMax = true, prop.max = Bound(s, prop.type, "max");
          else if (sk == "valid") {
            ExpectSequence(s, "valid");
            for (const auto& v : s) prop.valid.push_back(ConvertOrFail(v, prop.type, "a valid value"));
          }
        });
        if (prop.hasMin && prop.hasMax && described::Less(prop.max, prop.min))
          Fail(x, "specs: min is above max, so no value can be set");
      }
    });
    // A getter whose format does not take the value fails at load, not at the
    // query; a malformed RANDOM(...) is pyvisa-sim's query-time error.
    described::RandomSource scratch;
    const Response& r = prop.getter.r;
    if (r.present && !described::HasRandom(r.text) && !described::FormatValue(r.text, &prop.initial, &scratch))
      Fail(getterFormat, "the getter's r '" + r.text + "' does not format the value " + name + " holds");
    return prop;
  }

  void ReadProperties(const YAML::Node& n, Definition& d, const Channel& channel) const {
    ExpectMap(n, "properties");
    for (const auto& kv : n) d.properties.push_back(ReadProperty(Text(kv.first, "a property's name"), kv.second, channel));
  }

  // A group of channels: its dialogues and properties once for each id,
  // with the id in place of "{ch_id}".
  void ReadChannels(const YAML::Node& n, Definition& d) const {
    ExpectMap(n, "channels");
    for (const auto& group : n) {
      const std::string groupName = Text(group.first, "a channel group's name");
      const std::string where = "channel group '" + groupName + "'";
      std::vector<std::string> ids;
      bool canSelect = false;
      YAML::Node dialogues, properties;
      bool hasDialogues = false, hasProperties = false;
      ForKeys(group.second, where, {"ids", "can_select", "dialogues", "properties"},
              [&](const std::string& k, const YAML::Node& x) {
                if (k == "ids") {
                  ExpectSequence(x, "ids");
                  for (const auto& id : x) ids.push_back(Text(id, "a channel id"));
                } else if (k == "can_select") {
                  if (!x.IsScalar() || !YAML::convert<bool>::decode(x, canSelect))
                    Fail(x, "can_select must be true or false");
                } else {
                  (k == "dialogues" ? dialogues : properties).reset(x);
                  (k == "dialogues" ? hasDialogues : hasProperties) = true;
                }
              });
      // The resource's ids for the group, when it gives some, replace the group's.
      if (auto given = channelIds.find(groupName); given != channelIds.end() && !given->second.empty())
        ids = given->second;
      if (ids.empty() && idsFromResources) {
        d.channelsWithoutIds = true;
        continue;
      }
      if (ids.empty()) Fail(group.second, where + " needs its 'ids' (or a resource's channel_ids for it)");
      for (const std::string& id : ids) {
        Reader channel{file, id, channelIds, idsFromResources};
        const Channel c{id, !canSelect};
        if (hasDialogues) channel.ReadDialogues(dialogues, d.dialogues, c);
        if (hasProperties) channel.ReadProperties(properties, d, c);
      }
    }
  }

  void ReadStatus(const YAML::Node& n, Definition& d) const {
    // YAML's spellings of a truth value: on, off, true, false, yes, no, ...
    if (!n.IsScalar() || !YAML::convert<bool>::decode(n, d.statusModel))
      Fail(n, "unknown status value '" + (n.IsScalar() ? n.Scalar() : std::string()) +
                  "' (expected on, off, true or false)");
  }

  void ReadDescribed(const YAML::Node& node, Definition& d) const {
    YAML::Node channels;
    bool hasChannels = false;
    for (const auto& kv : node) {
              const std::string key = kv.first.Scalar();
              const YAML::Node& v = kv.second;
              if (key == "eom") ReadEom(v, d);
              else if (key == "error") ReadErrors(v, d);
              else if (key == "dialogues") ReadDialogues(v, d.dialogues, {});
              else if (key == "status") ReadStatus(v, d);
              else if (key == "channels") channels.reset(v), hasChannels = true;
              else ReadProperties(v, d, {});
    }
    // Channels come after the device's own dialogues and properties, which
    // answer first.
    for (size_t i = 0; i < d.properties.size(); ++i)
      if (d.properties[i].name == "selected_channel") d.selectedChannel = static_cast<int>(i);
    if (hasChannels) ReadChannels(channels, d);
  }
};

}  // namespace

std::string ModelNames() {
  std::string list;
  for (const char* m : kModels) list += list.empty() ? m : std::string(", ") + m;
  return list;
}

void ReadInstrumentDefinition(const vexon::YamlFile& file, const std::string& name, const YAML::Node& node,
                              vexon::InstrumentDefinition& out, const ChannelIds& channelIds,
                              bool idsFromResources) {
  const std::string where = "device " + name;
  out.name = name;
  out.file = file.path;
  out.line = node.Mark().line + 1;
  file.CheckMap(node, where);
  if (vexon::Empty(node) || node.size() == 0) file.Fail(node, where + ": empty definition");
  if (YAML::Node model = vexon::Child(node, "model"); model.IsDefined()) {
    for (const auto& kv : node)
      if (kv.first.Scalar() != "model") file.Fail(kv.first, where + ": a definition with 'model' has no other keys");
    out.model = file.String(model, "model");
    for (const char* m : kModels)
      if (out.model == m) return;
    file.Fail(model, "unknown model '" + out.model + "' (expected " + ModelNames() + ")");
  }
  std::vector<const char*> keys;
  for (const DescribedKey& k : kDescribedKeys) keys.push_back(k.key);
  file.CheckKeys(node, keys, where);
  for (const DescribedKey& k : kDescribedKeys) {
    YAML::Node value = vexon::Child(node, k.key);
    if (value.IsDefined() && !k.shapeOk(value)) file.Fail(value, std::string(k.key) + ": expected " + k.shape);
  }
  try {
    Definition d;
    Reader{file, "", channelIds, idsFromResources}.ReadDescribed(node, d);
    out.described = std::move(d);
  } catch (const YAML::Exception& e) {
    file.Fail(e.mark, e.msg);
  }
}

}  // namespace vorel::sim
