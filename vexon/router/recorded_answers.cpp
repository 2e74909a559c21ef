// The simulator splits a message at its end and at ";" into commands, each
// without the white space around it, and answers each command from its
// dialogues; the summary is cut the same way, so that each dialogue's `q` is
// a command the replay will look up.
#include "recorded_answers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace vexon {

namespace {

// One command as the device received it, with what it answered.
struct Command {
  std::string text;
  bool answered = false;
  std::string response;
};

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The end all texts share ("\r\n", "\n" or "\r"), or fallback.
std::string CommonEnd(const std::vector<const std::string*>& texts, const std::string& fallback) {
  if (texts.empty()) return "\n";
  for (const char* end : {"\r\n", "\n", "\r"}) {
    bool all = true;
    for (const std::string* t : texts) all = all && EndsWith(*t, end);
    if (all) return end;
  }
  return fallback;
}

std::string Trim(const std::string& s) {
  const char* space = " \t\r\n";
  const size_t first = s.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

std::vector<std::string> Split(const std::string& s, char at) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t i; (i = s.find(at, from)) != std::string::npos; from = i + 1) parts.push_back(s.substr(from, i - from));
  parts.push_back(s.substr(from));
  return parts;
}

// The commands of one message, the response going to its queries.
void AddMessage(const std::string& message, bool answered, const std::string& response,
                std::vector<Command>& out) {
  std::vector<Command> commands;
  for (const std::string& part : Split(message, ';'))
    if (std::string c = Trim(part); !c.empty()) commands.push_back({c, false, {}});
  if (commands.empty()) return;
  if (answered) {
    // Responses of one message come joined with ";": one part per query
    // when the counts agree, else the whole response to the last command.
    std::vector<Command*> queries;
    for (Command& c : commands)
      if (EndsWith(c.text, "?")) queries.push_back(&c);
    const std::vector<std::string> parts = Split(response, ';');
    if (queries.size() > 1 && parts.size() == queries.size()) {
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

// How "header?" answers what "header value" wrote: as written (decimals
// -1) or as a float with a fixed count of decimals. False when it answers
// otherwise, changed without a write, or was never asked after one.
bool ReadsBack(const std::vector<Command>& commands, const std::string& header, RecordedProperty& p) {
  const std::string setter = header + " ", getter = header + "?";
  struct Pair {
    std::string written, read;
  };
  std::vector<Pair> pairs;  // each answer with the value written before it, if any
  bool written = false, readBefore = false;
  std::string value, initial;
  for (const Command& c : commands) {
    if (c.text.compare(0, setter.size(), setter) == 0) {
      if (c.answered) return false;
      value = Trim(c.text.substr(setter.size()));
      if (!written && !readBefore) initial = value;
      written = true;
    } else if (c.text == getter && c.answered) {
      if (written) {
        pairs.push_back({value, c.response});
      } else {
        if (readBefore && c.response != initial) return false;
        initial = c.response;
        readBefore = true;
      }
    }
  }
  if (pairs.empty()) return false;
  p.header = header;
  p.initial = initial;
  bool asWritten = true;
  for (const Pair& x : pairs) asWritten = asWritten && x.read == x.written;
  if (asWritten) return true;
  // A float with as many decimals as the first answer has.
  const size_t point = pairs[0].read.find('.');
  if (point == std::string::npos) return false;
  p.decimals = static_cast<int>(pairs[0].read.size() - point - 1);
  for (const Pair& x : pairs) {
    double v = 0;
    if (!Number(x.written, v) || Fixed(v, p.decimals) != x.read) return false;
  }
  double start = 0;
  if (!Number(initial, start) || (readBefore && Fixed(start, p.decimals) != initial)) return false;
  p.initial = Fixed(start, p.decimals);
  return true;
}

// The header of a command "HEADER value", or empty.
std::string SetterHeader(const std::string& command) {
  const size_t space = command.find(' ');
  if (space == std::string::npos || space == 0) return {};
  const std::string header = command.substr(0, space);
  if (header.back() == '?' || header.find_first_of("{}") != std::string::npos) return {};
  return header;
}

}  // namespace

RecordedDevice SummarizeDevice(const DeviceLog& log) {
  RecordedDevice d;
  d.unsolicited = log.unsolicited;
  d.polls = log.polls;
  std::vector<const std::string*> messages, responses;
  for (const Exchange& e : log.exchanges) {
    if (!e.message.empty()) messages.push_back(&e.message);
    if (!e.response.empty()) responses.push_back(&e.response);
  }
  d.q = CommonEnd(messages, "\n");
  d.r = CommonEnd(responses, "");

  std::vector<Command> commands;
  for (const Exchange& e : log.exchanges) {
    std::string response = e.response;
    if (EndsWith(response, d.r)) response.resize(response.size() - d.r.size());
    // A write without END may hold several messages, each up to the end
    // of messages; bytes read belong to the last of them.
    std::vector<std::string> pieces = Split(e.message, d.q[0]);
    if (d.q.size() == 2) {  // "\r\n": cut at the pair, not at each "\r"
      pieces.clear();
      size_t from = 0;
      for (size_t i; (i = e.message.find(d.q, from)) != std::string::npos; from = i + 2)
        pieces.push_back(e.message.substr(from, i - from));
      pieces.push_back(e.message.substr(from));
    }
    while (pieces.size() > 1 && Trim(pieces.back()).empty()) pieces.pop_back();
    for (size_t i = 0; i < pieces.size(); ++i) {
      const bool last = i + 1 == pieces.size();
      AddMessage(pieces[i], last && !e.response.empty(), response, commands);
    }
  }

  std::map<std::string, size_t> index;
  for (const Command& c : commands) {
    auto [at, added] = index.try_emplace(c.text, d.dialogues.size());
    if (added) d.dialogues.push_back({c.text, false, {}, {}});
    RecordedDialogue& dialogue = d.dialogues[at->second];
    if (!c.answered) continue;
    dialogue.answered = true;
    dialogue.r = c.response;
    bool seen = false;
    for (const std::string& s : dialogue.seen) seen = seen || s == c.response;
    if (!seen) dialogue.seen.push_back(c.response);
  }

  // Settings that read back as written become properties.
  std::vector<std::string> headers;
  for (const RecordedDialogue& dialogue : d.dialogues) {
    const std::string header = SetterHeader(dialogue.q);
    if (header.empty() || dialogue.answered || !index.count(header + "?")) continue;
    bool known = false;
    for (const std::string& h : headers) known = known || h == header;
    RecordedProperty p;
    if (!known && ReadsBack(commands, header, p)) {
      headers.push_back(header);
      d.properties.push_back(p);
    }
  }
  std::vector<RecordedDialogue> kept;
  for (RecordedDialogue& dialogue : d.dialogues) {
    bool replaced = false;
    for (const std::string& h : headers)
      replaced = replaced || dialogue.q == h + "?" || SetterHeader(dialogue.q) == h;
    if (!replaced) kept.push_back(std::move(dialogue));
  }
  d.dialogues = std::move(kept);
  return d;
}

}  // namespace vexon
