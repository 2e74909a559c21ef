// The status model's commands: the IEEE 488.2 common commands and the SCPI
// error query, matched as instruments match them (any case, short or long
// form, with or without a leading colon).
#include <cctype>
#include <cmath>
#include <cstring>

#include "field_format.h"
#include "instance.h"

namespace vorel::sim::described {

namespace {

void Clear(Instance& in, int, Reply&) {
  if (in.definition->habits.requestWhileReason) in.status.srq = false;
  in.status.esr = 0;
  in.status.errors.clear();
  std::fill(in.registers.begin(), in.registers.end(), 0);
  for (auto& q : in.queues) q.clear();
}
void SetEse(Instance& in, int v, Reply&) { in.status.ese = v; }
void ReadEse(Instance& in, int, Reply& r) { r.parts.push_back(std::to_string(in.status.ese)); }
void ReadEsr(Instance& in, int, Reply& r) {
  r.parts.push_back(std::to_string(in.status.esr));
  in.status.esr = 0;
}
void SetSre(Instance& in, int v, Reply&) { in.status.sre = v & ~kMSS; }
void ReadSre(Instance& in, int, Reply& r) { r.parts.push_back(std::to_string(in.status.sre)); }
void ReadStb(Instance& in, int, Reply& r) {
  const int bits = in.definition->habits.statusBits;
  const int stb = StatusByte(in.status, !in.output.empty()) | bits;
  r.parts.push_back(std::to_string(stb | ((stb & in.status.sre & ~kMSS) ? kMSS : 0)));
}
void Complete(Instance& in, int, Reply&) { in.status.esr |= kOPC; }
void ReadComplete(Instance&, int, Reply& r) { r.parts.push_back("1"); }
void Wait(Instance&, int, Reply&) {}
void Reset(Instance& in, int, Reply&) {
  if (in.definition->habits.resetClearsOutput) in.output.clear(), in.pending.clear();
  for (size_t i = 0; i < in.values.size(); ++i) in.values[i] = in.definition->properties[i].initial;
}
void SelfTest(Instance&, int, Reply& r) { r.parts.push_back("0"); }
void Identify(Instance& in, int, Reply& r) { r.parts.push_back("vorel," + in.name + ",0,1.0"); }
void ReadError(Instance& in, int, Reply& r) { r.parts.push_back(PopError(in.status)); }

struct CommonCommand {
  const char* header;  // SCPI nodes: upper case is the short form, [NODE] optional
  bool takesValue;     // a number from 0 to 255
  void (*run)(Instance&, int value, Reply&);
};

constexpr CommonCommand kCommands[] = {
    {"*CLS", false, Clear},        {"*ESE", true, SetEse},           {"*ESE?", false, ReadEse},
    {"*ESR?", false, ReadEsr},     {"*SRE", true, SetSre},           {"*SRE?", false, ReadSre},
    {"*STB?", false, ReadStb},     {"*OPC", false, Complete},        {"*OPC?", false, ReadComplete},
    {"*WAI", false, Wait},         {"*RST", false, Reset},           {"*TST?", false, SelfTest},
    {"*IDN?", false, Identify},    {"SYSTem:ERRor:[NEXT]?", false, ReadError},
};

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// One node of a header against one node of a pattern: its long or short form.
bool NodeMatches(std::string_view text, std::string_view node) {
  std::string shortForm;
  for (char c : node)
    if (!std::islower(static_cast<unsigned char>(c))) shortForm += c;
  return SameText(text, node) || SameText(text, shortForm);
}

std::string_view NextNode(std::string_view& s) {
  size_t colon = s.find(':');
  std::string_view node = s.substr(0, colon);
  s.remove_prefix(colon == std::string_view::npos ? s.size() : colon + 1);
  return node;
}

bool HeaderMatches(std::string_view header, std::string_view pattern) {
  if (pattern.front() == '*') return SameText(header, pattern);
  if (!header.empty() && header.front() == ':') header.remove_prefix(1);
  bool query = !header.empty() && header.back() == '?';
  if (query != (pattern.back() == '?')) return false;
  if (query) header.remove_suffix(1), pattern.remove_suffix(1);
  while (!pattern.empty()) {
    std::string_view node = NextNode(pattern);
    bool optional = node.front() == '[';
    if (optional) node = node.substr(1, node.size() - 2);
    std::string_view rest = header;
    if (!header.empty() && NodeMatches(NextNode(rest), node)) header = rest;
    else if (!optional) return false;
  }
  return header.empty();
}

struct Parsed {
  const CommonCommand* command = nullptr;
  std::string_view argument;
};

Parsed Parse(std::string_view text) {
  size_t space = text.find_first_of(" \t");
  std::string_view header = text.substr(0, space);
  std::string_view argument = space == std::string_view::npos ? "" : text.substr(space + 1);
  while (!argument.empty() && std::strchr(" \t", argument.front())) argument.remove_prefix(1);
  for (const CommonCommand& c : kCommands)
    if (HeaderMatches(header, c.header)) return {&c, argument};
  return {};
}

}  // namespace

bool RunCommonCommand(Instance& in, std::string_view text, Reply& reply) {
  Parsed p = Parse(text);
  if (!p.command) return false;
  if (p.command == &kCommands[std::size(kCommands) - 1] && !in.definition->queues.empty())
    return false;  // the file's own error queue replaces the model's
  int value = 0;
  if (!p.command->takesValue && !p.argument.empty()) {
    CommandError(in, reply, kParameterNotAllowed);
    return true;
  }
  if (p.command->takesValue) {
    if (p.argument.empty()) return CommandError(in, reply, kMissingParameter), true;
    std::optional<Value> v = ReadValue(p.argument, ValueType::Float);
    if (!v) return CommandError(in, reply, kDataTypeError), true;
    double x = std::round(std::get<double>(*v));
    if (x < 0 || x > 255) return CommandError(in, reply, kDataOutOfRange), true;
    value = static_cast<int>(x);
  }
  p.command->run(in, value, reply);
  return true;
}

bool SameCommonCommand(std::string_view a, std::string_view b) {
  Parsed pa = Parse(a), pb = Parse(b);
  return pa.command && pa.command == pb.command && pa.argument == pb.argument;
}

}  // namespace vorel::sim::described
