// The simulator splits a message at its end and at ";" into commands, each
// without the white space around it, and answers each command from its
// dialogues; the summary is cut the same way, so that each dialogue's `q` is
// a command the replay will look up.
#include "recorded_answers.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vexon {

namespace {

// One command as the device received it, with what it answered.
struct Command {
  std::string text;
  bool answered = false;
  std::string response;
  bool blockPart = false;
};

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

void Note(EndsSeen& ends, const std::string& text) {
  if (text.empty()) return;
  ++ends.texts;
  ends.crlf = ends.crlf && EndsWith(text, "\r\n");
  ends.lf = ends.lf && EndsWith(text, "\n");
  ends.cr = ends.cr && EndsWith(text, "\r");
}

// The end all texts share ("\r\n", "\n" or "\r"), or fallback.
std::string CommonEnd(const EndsSeen& ends, const std::string& fallback) {
  if (ends.texts == 0) return "\n";
  if (ends.crlf) return "\r\n";
  if (ends.lf) return "\n";
  if (ends.cr) return "\r";
  return fallback;
}

std::string Trim(const std::string& s) {
  const char* space = " \t\r\n";
  const size_t first = s.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

std::vector<std::string> Split(const std::string& s, const std::string& at) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t i; (i = s.find(at, from)) != std::string::npos; from = i + at.size())
    parts.push_back(s.substr(from, i - from));
  parts.push_back(s.substr(from));
  return parts;
}

// Whether a ";" of message lies inside a binary block: "#" and a digit N,
// N digits of length and that many bytes, or "#0" and bytes to the end.
bool CutInBlock(const std::string& m) {
  for (size_t i = 0; i + 1 < m.size(); ++i) {
    if (m[i] != '#' || !std::isdigit(static_cast<unsigned char>(m[i + 1]))) continue;
    const size_t digits = static_cast<size_t>(m[i + 1] - '0');
    if (digits == 0) return m.find(';', i + 2) != std::string::npos;
    if (i + 2 + digits > m.size()) continue;
    const std::string length = m.substr(i + 2, digits);
    if (length.find_first_not_of("0123456789") != std::string::npos) continue;
    const size_t start = i + 2 + digits, end = std::min(m.size(), start + std::stoul(length));
    if (m.find(';', start) < end) return true;
    i = end - 1;
  }
  return false;
}

// The commands of one message, the response going to its queries.
void AddMessage(const std::string& message, bool answered, const std::string& response,
                std::vector<Command>& out) {
  std::vector<Command> commands;
  const bool cut = CutInBlock(message);
  for (const std::string& part : Split(message, ";"))
    if (std::string c = Trim(part); !c.empty()) commands.push_back({c, false, {}, cut});
  if (commands.empty()) return;
  if (answered) {
    // Responses of one message come joined with ";": one part per query
    // when the counts agree, else the whole response to the last command.
    std::vector<Command*> queries;
    for (Command& c : commands)
      if (EndsWith(c.text, "?")) queries.push_back(&c);
    const std::vector<std::string> parts = Split(response, ";");
    if (!cut && queries.size() > 1 && parts.size() == queries.size()) {
      for (size_t i = 0; i < parts.size(); ++i) queries[i]->answered = true, queries[i]->response = parts[i];
    } else {
      commands.back().answered = true;
      commands.back().response = response;
    }
  }
  out.insert(out.end(), commands.begin(), commands.end());
}

// The number text holds, when it holds one and nothing else.
bool Number(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value);
}

// value as a float with decimals places, as "{:.Nf}" prints it.
std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The header of a command "HEADER value", or empty.
std::string SetterHeader(const std::string& command) {
  const size_t space = command.find(' ');
  if (space == std::string::npos || space == 0) return {};
  const std::string header = command.substr(0, space);
  if (header.back() == '?' || header.find_first_of("{}") != std::string::npos) return {};
  return header;
}

// What a command tells of the setting it writes or reads.
void Trace(FoldedLog& f, const Command& c) {
  if (const std::string header = SetterHeader(c.text); !header.empty()) {
    SettingTrace& t = f.settings[header];
    if (c.answered) t.broken = true;
    t.value = Trim(c.text.substr(header.size()));
    if (!t.written && !t.readBefore) t.initial = t.value;
    t.written = true;
    return;
  }
  if (c.text.size() < 2 || c.text.back() != '?' || !c.answered) return;
  SettingTrace& t = f.settings[c.text.substr(0, c.text.size() - 1)];
  const std::string& read = c.response;
  if (!t.written) {
    if (t.readBefore && read != t.initial) t.broken = true;
    t.initial = read;
    t.readBefore = true;
    return;
  }
  if (t.pairs++ == 0) {
    const size_t point = read.find('.');
    t.decimals = point == std::string::npos ? -1 : static_cast<int>(read.size() - point - 1);
  }
  double v = 0;
  t.asWritten = t.asWritten && read == t.value;
  t.asFloat = t.asFloat && t.decimals >= 0 && Number(t.value, v) && Fixed(v, t.decimals) == read;
}

void AddCommand(FoldedLog& f, const Command& c) {
  auto [at, added] = f.index.try_emplace(c.text, f.dialogues.size());
  if (added) f.dialogues.push_back({c.text, false, {}, {}, 0, false});
  RecordedDialogue& d = f.dialogues[at->second];
  d.blockPart = d.blockPart || c.blockPart;
  if (c.answered) {
    d.answered = true;
    d.r = c.response;
    bool seen = false;
    for (const std::string& s : d.seen) seen = seen || s == c.response;
    if (!seen && d.seen.size() < kSeenKept) d.seen.push_back(c.response);
    else if (!seen) ++d.moreSeen;
  }
  Trace(f, c);
}

// The exchanges' commands, their messages cut at q and responses without r.
void Fold(FoldedLog& f, const std::vector<Exchange>& exchanges, const std::string& q, const std::string& r) {
  for (const Exchange& e : exchanges) {
    std::string response = e.response;
    if (EndsWith(response, r)) response.resize(response.size() - r.size());
    // A write without END may hold several messages, each up to the end
    // of messages; bytes read belong to the last of them.
    std::vector<std::string> pieces = Split(e.message, q);
    while (pieces.size() > 1 && Trim(pieces.back()).empty()) pieces.pop_back();
    std::vector<Command> commands;
    for (size_t i = 0; i < pieces.size(); ++i)
      AddMessage(pieces[i], i + 1 == pieces.size() && !e.response.empty(), response, commands);
    for (const Command& c : commands) AddCommand(f, c);
  }
}

void NoteEnds(const std::vector<Exchange>& exchanges, FoldedLog& f) {
  for (const Exchange& e : exchanges) Note(f.messageEnds, e.message), Note(f.responseEnds, e.response);
}

// The property a setting's trace makes, if it makes one.
bool PropertyOf(const std::string& header, const SettingTrace& t, RecordedProperty& p) {
  if (t.broken || t.pairs == 0) return false;
  p.header = header;
  p.initial = t.initial;
  if (t.asWritten) return true;
  double start = 0;
  if (!t.asFloat || !Number(t.initial, start) || (t.readBefore && Fixed(start, t.decimals) != t.initial))
    return false;
  p.decimals = t.decimals;
  p.initial = Fixed(start, t.decimals);
  return true;
}

}  // namespace

void FoldExchanges(DeviceLog& log) {
  NoteEnds(log.exchanges, log.folded);
  Fold(log.folded, log.exchanges, CommonEnd(log.folded.messageEnds, "\n"), CommonEnd(log.folded.responseEnds, ""));
  log.exchanges.clear();
}

RecordedDevice SummarizeDevice(const DeviceLog& log) {
  RecordedDevice d;
  d.unsolicited = log.unsolicited;
  FoldedLog f = log.folded;
  NoteEnds(log.exchanges, f);
  d.q = CommonEnd(f.messageEnds, "\n");
  d.r = CommonEnd(f.responseEnds, "");
  Fold(f, log.exchanges, d.q, d.r);

  // Settings that read back as written become properties.
  std::vector<std::string> headers;
  for (const RecordedDialogue& dialogue : f.dialogues) {
    const std::string header = SetterHeader(dialogue.q);
    if (header.empty() || dialogue.answered || !f.index.count(header + "?")) continue;
    bool known = false;
    for (const std::string& h : headers) known = known || h == header;
    RecordedProperty p;
    if (!known && PropertyOf(header, f.settings[header], p)) {
      headers.push_back(header);
      d.properties.push_back(p);
    }
  }
  for (RecordedDialogue& dialogue : f.dialogues) {
    bool replaced = false;
    for (const std::string& h : headers)
      replaced = replaced || dialogue.q == h + "?" || SetterHeader(dialogue.q) == h;
    if (!replaced) d.dialogues.push_back(std::move(dialogue));
  }
  return d;
}

}  // namespace vexon
