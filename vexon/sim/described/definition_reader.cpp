// The definition keys: eom, error, dialogues, properties, status, and delay on
// dialogues and getters. Each fault names its line and column.
#include "definition_reader.h"

#include <yaml-cpp/yaml.h>

#include <cmath>
#include <set>

#include "field_format.h"

namespace vorel::sim::described {

namespace {

// A fault found while reading; caught once in ReadDefinition.
struct Fault {
  YAML::Mark mark;
  std::string what;
};

[[noreturn]] void FailAt(const YAML::Mark& at, std::string what) { throw Fault{at, std::move(what)}; }
[[noreturn]] void Fail(const YAML::Node& at, std::string what) { FailAt(at.Mark(), std::move(what)); }

void ExpectMap(const YAML::Node& n, const char* what) {
  if (!n.IsMap()) Fail(n, std::string(what) + " must be a mapping");
}

void ExpectSequence(const YAML::Node& n, const char* what) {
  if (!n.IsSequence()) Fail(n, std::string(what) + " must be a list");
}

// The keys of a mapping, each checked against those allowed.
template <class F>
void ForKeys(const YAML::Node& map, const char* what, std::initializer_list<const char*> allowed, F f) {
  ExpectMap(map, what);
  for (const auto& kv : map) {
    if (!kv.first.IsScalar()) Fail(kv.first, std::string("a key of ") + what + " must be a name");
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

std::string Text(const YAML::Node& n, const char* what) {
  if (!n.IsScalar()) Fail(n, std::string(what) + " must be a string");
  return n.Scalar();
}

Response ReadResponse(const YAML::Node& n, const char* what) {
  if (n.IsNull()) return {};
  std::string t = Text(n, what);
  if (t == "null_response") return {};
  return {true, t};
}

double Number(const YAML::Node& n, const char* what) {
  std::optional<Value> v = n.IsScalar() ? ReadValue(n.Scalar(), ValueType::Float) : std::nullopt;
  if (!v) Fail(n, std::string(what) + " must be a number");
  return std::get<double>(*v);
}

int Bits(const YAML::Node& n, const char* what) {
  std::optional<Value> v = n.IsScalar() ? ReadValue(n.Scalar(), ValueType::Int) : std::nullopt;
  if (!v || std::get<long long>(*v) < 0 || std::get<long long>(*v) > 0xFFFF)
    Fail(n, std::string(what) + " must be a number from 0 to 65535");
  return static_cast<int>(std::get<long long>(*v));
}

// Delays run up to a day of bus time.
Nanoseconds Delay(const YAML::Node& n) {
  double s = Number(n, "delay");
  if (s < 0 || s > 86400) Fail(n, "delay must be from 0 to 86400 seconds");
  return static_cast<Nanoseconds>(std::llround(s * 1e9));
}

void ReadEom(const YAML::Node& n, Definition& d) {
  ExpectMap(n, "eom");
  for (const auto& kv : n) {
    if (!kv.first.IsScalar()) Fail(kv.first, "a key of eom must be a resource type");
    // Other interfaces' ends are pyvisa-sim's business.
    if (kv.first.Scalar() != "GPIB INSTR") continue;
    ForKeys(kv.second, "eom", {"q", "r"}, [&](const std::string& key, const YAML::Node& v) {
      (key == "q" ? d.q : d.r) = Text(v, key.c_str());
    });
  }
}

void ReadErrors(const YAML::Node& n, Definition& d) {
  if (n.IsScalar()) {
    d.commandError = ReadResponse(n, "error");
    return;
  }
  ForKeys(n, "error", {"response", "status_register", "error_queue"}, [&](const std::string& key,
                                                                         const YAML::Node& v) {
    if (key == "response") {
      ForKeys(v, "response", {"command_error", "query_error"}, [&](const std::string& k, const YAML::Node& r) {
        (k == "command_error" ? d.commandError : d.queryError) = ReadResponse(r, k.c_str());
      });
    } else if (key == "status_register") {
      ExpectSequence(v, "status_register");
      for (const auto& item : v) {
        ErrorRegister reg;
        ForKeys(item, "a status register", {"q", "command_error", "query_error"},
                [&](const std::string& k, const YAML::Node& x) {
                  if (k == "q") reg.q = Text(x, "q");
                  else (k == "command_error" ? reg.commandError : reg.queryError) = Bits(x, k.c_str());
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
                  else if (k == "default") queue.empty = Text(x, "default");
                  else (k == "command_error" ? queue.commandError : queue.queryError) = ReadResponse(x, k.c_str());
                });
        if (queue.q.empty()) Fail(item, "an error queue needs its query 'q'");
        d.queues.push_back(queue);
      }
    }
  });
}

void ReadDialogues(const YAML::Node& n, Definition& d) {
  ExpectSequence(n, "dialogues");
  for (const auto& item : n) {
    Dialogue dialogue;
    bool hasQ = false;
    ForKeys(item, "a dialogue", {"q", "r", "delay"}, [&](const std::string& k, const YAML::Node& x) {
      if (k == "q") dialogue.q = Text(x, "q"), hasQ = true;
      else if (k == "r") dialogue.r = ReadResponse(x, "r");
      else dialogue.delay = Delay(x);
    });
    if (!hasQ) Fail(item, "a dialogue needs its query 'q'");
    d.dialogues.push_back(dialogue);
  }
}

ValueType TypeName(const YAML::Node& n) {
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

Value Convert(const YAML::Node& n, ValueType type, const char* what) {
  std::optional<Value> v = n.IsScalar() ? ReadValue(n.Scalar(), type) : std::nullopt;
  if (!v && type == ValueType::Str && n.IsScalar()) v = Value(std::string());
  if (!v) {
    static const char* const kNames[] = {"an int", "a float", "a string"};
    Fail(n, std::string(what) + " must be " + kNames[static_cast<int>(type)]);
  }
  return *v;
}

// The type letter of the one field of part's pattern (a setter's q, a
// getter's r), when it has exactly one.
std::optional<char> FieldOf(const YAML::Node& part, const char* key) {
  if (!part || !part.IsMap() || !part[key] || !part[key].IsScalar()) return std::nullopt;
  Pattern pattern;
  if (!SplitPattern(part[key].Scalar(), pattern) || pattern.fields != 1) return std::nullopt;
  return pattern.field;
}

// The property's type: specs.type, else the setter's field, else the
// getter's, else what the default reads as.
ValueType PropertyType(const YAML::Node& p) {
  if (p["specs"] && p["specs"].IsMap() && p["specs"]["type"]) return TypeName(p["specs"]["type"]);
  if (std::optional<char> f = FieldOf(p["setter"], "q")) return TypeOfField(*f);
  if (std::optional<char> f = FieldOf(p["getter"], "r")) return TypeOfField(*f);
  const YAML::Node def = p["default"];
  if (def && def.IsScalar()) {
    if (ReadValue(def.Scalar(), ValueType::Int)) return ValueType::Int;
    if (ReadValue(def.Scalar(), ValueType::Float)) return ValueType::Float;
  }
  return ValueType::Str;
}

Property ReadProperty(const std::string& name, const YAML::Node& p) {
  Property prop;
  prop.name = name;
  ExpectMap(p, "a property");
  prop.type = PropertyType(p);
  prop.initial = prop.type == ValueType::Int ? Value(0LL) : prop.type == ValueType::Float ? Value(0.0) : Value(std::string());
  YAML::Mark getterMark;
  ForKeys(p, "a property", {"default", "getter", "setter", "specs"}, [&](const std::string& k, const YAML::Node& x) {
    if (k == "default") {
      prop.initial = Convert(x, prop.type, "default");
    } else if (k == "getter") {
      prop.getter.present = true;
      bool hasQ = false;
      ForKeys(x, "a getter", {"q", "r", "delay"}, [&](const std::string& gk, const YAML::Node& g) {
        if (gk == "q") prop.getter.q = Text(g, "q"), hasQ = true;
        else if (gk == "r") prop.getter.r = ReadResponse(g, "r"), getterMark = g.Mark();
        else prop.getter.delay = Delay(g);
      });
      if (!hasQ) Fail(x, "a getter needs its query 'q'");
    } else if (k == "setter") {
      prop.setter.present = true;
      bool hasQ = false;
      ForKeys(x, "a setter", {"q", "r", "e"}, [&](const std::string& sk, const YAML::Node& s) {
        if (sk == "q") {
          Pattern pattern;
          if (!SplitPattern(Text(s, "q"), pattern) || pattern.fields != 1)
            Fail(s, "a setter's q needs exactly one replacement field {}");
          prop.setter.prefix = pattern.prefix;
          prop.setter.suffix = pattern.suffix;
          prop.setter.field = pattern.field;
          hasQ = true;
        } else {
          (sk == "r" ? prop.setter.r : prop.setter.e) = ReadResponse(s, sk.c_str());
          prop.setter.hasE = prop.setter.hasE || sk == "e";
        }
      });
      if (!hasQ) Fail(x, "a setter needs its pattern 'q'");
    } else {
      ForKeys(x, "specs", {"min", "max", "valid", "type"}, [&](const std::string& sk, const YAML::Node& s) {
        if (sk == "min") prop.hasMin = true, prop.min = Number(s, "min");
        else if (sk == "max") prop.hasMax = true, prop.max = Number(s, "max");
        else if (sk == "valid") {
          ExpectSequence(s, "valid");
          for (const auto& v : s) prop.valid.push_back(Convert(v, prop.type, "a valid value"));
        }
      });
      if (prop.hasMin && prop.hasMax && prop.min > prop.max)
        Fail(x, "specs: min is above max, so no value can be set");
    }
  });
  // A getter whose format does not take the value fails at load, not at the query.
  if (prop.getter.r.present && !FormatValue(prop.getter.r.text, prop.initial))
    FailAt(getterMark, "the getter's r '" + prop.getter.r.text + "' does not format the value " + name + " holds");
  return prop;
}

void ReadStatus(const YAML::Node& n, Definition& d) {
  // YAML's spellings of a truth value: on, off, true, false, yes, no, ...
  if (!n.IsScalar() || !YAML::convert<bool>::decode(n, d.statusModel)) Fail(n, "status must be on or off");
}

}  // namespace

bool ReadDefinition(const YAML::Node& node, Definition& out, DefinitionError& error) {
  try {
    Definition d;
    if (node.IsMap())
      for (const auto& kv : node)
        if (kv.first.IsScalar() && kv.first.Scalar() == "channels")
          Fail(kv.first, "channels are not supported yet");
    ForKeys(node, "an instrument definition",
            {"eom", "error", "dialogues", "properties", "status"},
            [&](const std::string& key, const YAML::Node& v) {
              if (key == "eom") ReadEom(v, d);
              else if (key == "error") ReadErrors(v, d);
              else if (key == "dialogues") ReadDialogues(v, d);
              else if (key == "status") ReadStatus(v, d);
              else {
                ExpectMap(v, "properties");
                for (const auto& kv : v) d.properties.push_back(ReadProperty(kv.first.Scalar(), kv.second));
              }
            });
    out = std::move(d);
    return true;
  } catch (const Fault& f) {
    error = {f.mark.line + 1, f.mark.column + 1, f.what};
  } catch (const YAML::Exception& e) {
    error = {e.mark.line + 1, e.mark.column + 1, e.msg};
  }
  return false;
}

}  // namespace vorel::sim::described
