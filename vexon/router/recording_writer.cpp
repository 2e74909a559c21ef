// The text of a recording. Every string is double-quoted with escapes, so
// control bytes come back as they were; bytes that text cannot carry through
// pyvisa-sim's loading (beyond ASCII, spaces at the ends, a backslash before
// n or r, a directive's name) go in BYTES(...) as hex digits, two a byte.
#include "recording_writer.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "backend.h"
#include "recorded_answers.h"

namespace vexon {

const char kRecordingMark[] = "# vexon recording: written by the driver; a later recording may replace it.";
const char kHiddenLine[] = "#vorel ";

namespace {

void Escape(std::string& out, unsigned char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    case '\0': out += "\\0"; return;
    default: break;
  }
  if (c < 0x20 || c >= 0x7F) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  } else {
    out += static_cast<char>(c);
  }
}

bool NeedsBytes(const std::string& t) {
  if (t.empty()) return false;
  for (unsigned char c : t)
    if (c >= 0x80) return true;
  return t.front() == ' ' || t.back() == ' ' || t.find("\\n") != std::string::npos ||
         t.find("\\r") != std::string::npos || t.find("BYTES(") != std::string::npos ||
         t.find("RANDOM(") != std::string::npos || t == "null_response";
}

// A key of the file: the name as it is when it is plain, else a quoted one.
std::string Key(const std::string& name) {
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return QuotedText(name);
  return name;
}

std::string Resource(const DeviceLog& d) {
  std::string r = "GPIB" + std::to_string(d.board) + "::" + std::to_string(d.pad);
  if (d.sad) r += "::" + std::to_string(d.sad - 0x60);
  return r + "::INSTR";
}

// The bus file's name of a device: by its link name, else by its address.
const NamedDevice* NameOf(const DeviceLog& d, const std::vector<NamedDevice>& names) {
  for (const NamedDevice& n : names)
    if (n.board == d.board && (d.link.empty() ? n.link.empty() && n.pad == d.pad && n.sad == d.sad : n.link == d.link))
      return &n;
  return nullptr;
}

// Devices reached by a link name have no GPIB address: each gets the lowest
// one no other device and not the board has, so that it replays there.
std::vector<DeviceLog> Placed(std::vector<DeviceLog> devices, int boardPad) {
  std::set<int> taken{boardPad};
  for (const DeviceLog& d : devices)
    if (d.link.empty()) taken.insert(d.pad);
  for (DeviceLog& d : devices) {
    if (d.link.empty()) continue;
    int pad = 1;
    while (pad < 30 && taken.count(pad)) ++pad;
    taken.insert(d.pad = pad);
  }
  return devices;
}

// A property's name from its header: "SOUR:VOLT" is sour_volt.
std::string PropertyName(const std::string& header, std::set<std::string>& taken) {
  std::string name;
  for (char c : header) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) name += static_cast<char>(std::tolower(u));
    else if (!name.empty() && name.back() != '_') name += '_';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  if (name.empty()) name = "setting";
  std::string unique = name;
  for (int n = 2; !taken.insert(unique).second; ++n) unique = name + "_" + std::to_string(n);
  return unique;
}

void WriteDevice(std::string& out, const std::string& name, const DeviceLog& log) {
  const RecordedDevice d = SummarizeDevice(log);
  out += "  " + Key(name) + ":\n";
  out += "    # " + Resource(log) + ": " + std::to_string(log.messages) + (log.messages == 1 ? " message" : " messages");
  char eos[16];
  std::snprintf(eos, sizeof eos, "0x%X", log.eos);
  out += std::string(", the handle's eot ") + std::to_string(log.eot) + " and eos " + eos + "\n";
  if (!log.polls.empty()) {
    out += "    # serial polls answered, in order:";
    for (const PollRun& p : log.polls) {
      char hex[8];
      std::snprintf(hex, sizeof hex, " 0x%02X", p.result);
      out += hex;
      if (p.times > 1) out += " (" + std::to_string(p.times) + " times)";
    }
    if (log.pollsDropped) out += " and " + std::to_string(log.pollsDropped) + " more";
    out += "\n";
  }
  if (!d.unsolicited.empty())
    out += "    # read before anything was written: " + QuotedText(d.unsolicited) + "\n";
  out += "    eom:\n      GPIB INSTR: {q: " + QuotedText(d.q) + ", r: " + QuotedText(d.r) + "}\n";
  if (!d.dialogues.empty()) out += "    dialogues:\n";
  bool cutShown = false;
  for (const RecordedDialogue& dialogue : d.dialogues) {
    if (dialogue.blockPart && !cutShown) {
      out += "      # Binary blocks holding \";\" come in parts (marked \"part\" below): the\n"
             "      # replay, as pyvisa-sim, cuts every message at \";\", and answers the parts.\n";
      cutShown = true;
    }
    if (dialogue.seen.size() > 1 || dialogue.moreSeen) {
      out += "      # answers seen:";
      for (size_t i = 0; i < dialogue.seen.size(); ++i)
        out += (i ? ", " : " ") + QuotedText(dialogue.seen[i]);
      if (dialogue.moreSeen) out += " and " + std::to_string(dialogue.moreSeen) + " more";
      out += "\n";
    }
    if (dialogue.blockPart) out += "      # part\n";
    out += "      - q: " + QuotedText(dialogue.q, true) + "\n";
    if (dialogue.answered) out += "        r: " + QuotedText(dialogue.r, true) + "\n";
  }
  if (!d.properties.empty()) out += "    properties:\n";
  std::set<std::string> taken;
  for (const RecordedProperty& p : d.properties) {
    out += "      " + PropertyName(p.header, taken) + ":\n";
    if (p.decimals < 0) {
      out += "        default: " + QuotedText(p.initial) + "\n";
      out += "        getter: {q: " + QuotedText(p.header + "?") + ", r: \"{}\"}\n";
      out += "        setter: {q: " + QuotedText(p.header + " {}") + "}\n";
      out += "        specs: {type: str}\n";
    } else {
      out += "        default: " + p.initial + "\n";
      out += "        getter: {q: " + QuotedText(p.header + "?") + ", r: \"{:." + std::to_string(p.decimals) + "f}\"}\n";
      out += "        setter: {q: " + QuotedText(p.header + " {:f}") + "}\n";
      out += "        specs: {type: float}\n";
    }
  }
}

}  // namespace

std::string QuotedText(const std::string& text, bool bytes) {
  std::string out = "\"";
  if (bytes && NeedsBytes(text)) {
    // BYTES(hex): two hex digits a byte, which loading never alters.
    out += "BYTES(";
    char hex[3];
    for (unsigned char c : text) std::snprintf(hex, sizeof hex, "%02X", c), out += hex;
    return out + ")\"";
  }
  for (unsigned char c : text) Escape(out, c);
  return out + "\"";
}

std::string DescribeBoard(const BoardSettings& b) {
  const Backend* backend = FindBackend(b.backend.c_str());
  const std::string settings = backend && backend->describeBoard ? backend->describeBoard(b) : "";
  return b.backend + (settings.empty() ? "" : ", " + settings);
}

std::string RecordingText(const RecordingSource& source, const std::vector<DeviceLog>& recorded,
                          const std::vector<NamedDevice>& names) {
  const int index = source.board ? source.board->index : 0;
  const std::vector<DeviceLog> devices = Placed(recorded, source.board ? source.board->pad : 0);
  std::string out = std::string(kRecordingMark) + "\n";
  out += "# Recorded on gpib" + std::to_string(index) + " (" + (source.board ? DescribeBoard(*source.board) : "") +
         ")\n# from " + source.from + " to " + source.to + ".\n";
  out += "# Replay it on the simulated bus: VOREL_BUS=" + source.file +
         " vorel (or any program on libvexon);\n# pyvisa-sim opens the same resources with ResourceManager(\"" +
         source.file + "@sim\").\n";
  out += "# Each query answers as it last did on the bench (other answers seen are listed\n"
         "# above it). A command never recorded is a command error, unless it is a common\n"
         "# command or SYST:ERR?, which vorel's status model answers (pyvisa-sim has none).\n";
  out += "spec: \"1.1\"\n\ndevices:\n";
  std::vector<std::string> definitions;
  std::set<std::string> taken;
  for (const DeviceLog& d : devices) {
    const NamedDevice* n = NameOf(d, names);
    std::string name = n                      ? n->name
                       : !d.foundAs.empty() ? d.foundAs
                                            : "gpib" + std::to_string(d.board) + "_pad" + std::to_string(d.pad) +
                                                  (d.sad ? "_sad" + std::to_string(d.sad - 0x60) : "");
    for (std::string base = name; !taken.insert(name).second;) name = base + "_" + std::to_string(taken.size());
    definitions.push_back(name);
    if (!d.link.empty()) out += "  # reached on the bench by the link name " + QuotedText(d.link) + "\n";
    WriteDevice(out, name, d);
  }
  out += "\nresources:\n";
  for (size_t i = 0; i < devices.size(); ++i)
    out += "  " + Resource(devices[i]) + ": {device: " + Key(definitions[i]) + "}\n";
  // The handles' settings of the bench, where they differ from ibdev's usual
  // ones, in lines the driver reads and pyvisa-sim takes for comments.
  std::string named;
  for (const DeviceLog& d : devices) {
    const NamedDevice* n = NameOf(d, names);
    if (!n || (n->tmo == 13 && n->eot == 1 && n->eos == 0)) continue;
    char eos[16];
    std::snprintf(eos, sizeof eos, "0x%X", n->eos);
    named += std::string(kHiddenLine) + "  " + Key(n->name) + ": {resource: " + Resource(d) +
             ", tmo: " + std::to_string(n->tmo) + ", eot: " + std::to_string(n->eot) + ", eos: " + eos + "}\n";
  }
  if (!named.empty())
    out += "\n# The names' settings on the bench, which pyvisa-sim has no place for:\n" + std::string(kHiddenLine) +
           "names:\n" + named;
  return out;
}

}  // namespace vexon
