// Messages to a described instrument: each command matched in order against
// the file's dialogues, getters, setters and error queries, then the status
// model's commands, else a command error; the responses of a message queued
// together, readable once their delay has passed.
#include "instance.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "field_format.h"
#include "python_format.h"

namespace vorel::sim::described {

namespace {

// The file keeps at most this many entries in each of its error queues.
constexpr size_t kFileQueueLimit = 1000;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::strchr(" \t\r\n", s.front())) s.remove_prefix(1);
  while (!s.empty() && std::strchr(" \t\r\n", s.back())) s.remove_suffix(1);
  return s;
}

void Queue(Reply& reply, const Response& r, Nanoseconds delay = 0) {
  if (r.present) reply.parts.push_back(r.text);
  reply.delay = std::max(reply.delay, delay);
}

void PushFileEntry(std::deque<std::string>& queue, const Response& r) {
  if (r.present && queue.size() < kFileQueueLimit) queue.push_back(r.text);
}

double AsNumber(const Value& v) {
  if (const long long* i = std::get_if<long long>(&v)) return static_cast<double>(*i);
  if (const double* d = std::get_if<double>(&v)) return *d;
  return 0;
}

bool Accepts(const Property& p, const Value& v) {
  if ((p.hasMin && Less(v, p.min)) || (p.hasMax && Less(p.max, v))) return false;
  if (p.valid.empty()) return true;
  for (const Value& ok : p.valid)
    if (p.type == ValueType::Str ? ok == v : AsNumber(ok) == AsNumber(v)) return true;
  return false;
}

// The id of the channel the device's `selected_channel` names, as text.
std::string SelectedChannel(const Instance& in) {
  const int i = in.definition->selectedChannel;
  if (i < 0) return {};
  const Value& v = in.values[i];
  if (const long long* n = std::get_if<long long>(&v)) return std::to_string(*n);
  if (const double* d = std::get_if<double>(&v)) return PythonFloatRepr(*d);
  return std::get<std::string>(v);
}

// Whether a channel's dialogue or property answers now: one chosen by
// selection only while its channel is the selected one.
bool Reachable(const Instance& in, const Channel& c) { return !c.bySelection || c.id == SelectedChannel(in); }

// Dialogues and getters whose query `matches` accepts; true when one answered.
template <class Matches>
bool RunAnswer(Instance& in, Reply& reply, const Matches& matches) {
  const Definition& d = *in.definition;
  for (const Dialogue& dialogue : d.dialogues) {
    if (!matches(dialogue.q) || !Reachable(in, dialogue.channel)) continue;
    Response r = dialogue.r;
    if (dialogue.random) {
      std::optional<std::string> text = FormatValue(r.text, nullptr, &in.random);
      if (!text) return CommandError(in, reply, kUndefinedHeader), true;
      r.text = *text;
    }
    Queue(reply, r, dialogue.delay);
    return true;
  }
  for (size_t i = 0; i < d.properties.size(); ++i) {
    const Getter& g = d.properties[i].getter;
    if (!g.present || !matches(g.q) || !Reachable(in, d.properties[i].channel)) continue;
    Response r = g.r;
    if (r.present) {
      std::optional<std::string> text = FormatValue(g.r.text, &in.values[i], &in.random);
      if (!text) return CommandError(in, reply, kUndefinedHeader), true;
      r.text = *text;
    }
    Queue(reply, r, g.delay);
    return true;
  }
  return false;
}

// The file's error registers and queues read by a query `matches` accepts.
template <class Matches>
bool RunErrorQuery(Instance& in, Reply& reply, const Matches& matches) {
  const Definition& d = *in.definition;
  for (size_t i = 0; i < d.registers.size(); ++i) {
    if (!matches(d.registers[i].q)) continue;
    reply.parts.push_back(std::to_string(in.registers[i]));
    in.registers[i] = 0;
    return true;
  }
  for (size_t i = 0; i < d.queues.size(); ++i) {
    if (!matches(d.queues[i].q)) continue;
    std::deque<std::string>& q = in.queues[i];
    reply.parts.push_back(q.empty() ? d.queues[i].empty : q.front());
    if (!q.empty()) q.pop_front();
    return true;
  }
  return false;
}

bool RunSetter(Instance& in, std::string_view command, Reply& reply) {
  const Definition& d = *in.definition;
  for (size_t i = 0; i < d.properties.size(); ++i) {
    const Property& p = d.properties[i];
    const Setter& s = p.setter;
    if (!s.present || !Reachable(in, p.channel) || command.size() < s.prefix.size() + s.suffix.size() ||
        command.substr(0, s.prefix.size()) != s.prefix ||
        command.substr(command.size() - s.suffix.size()) != s.suffix)
      continue;
    std::optional<Value> v =
        ReadValue(command.substr(s.prefix.size(), command.size() - s.prefix.size() - s.suffix.size()), p.type);
    if (!v) continue;
    if (Accepts(p, *v)) {
      in.values[i] = *v;
      Queue(reply, s.r);
    } else if (s.hasE) {
      // The setter's own error response: the file's registers and queues do
      // not count it, the status model does.
      Queue(reply, s.e);
      if (d.statusModel) PushError(in.status, kDataOutOfRange);
    } else {
      CommandError(in, reply, kDataOutOfRange);
    }
    return true;
  }
  return false;
}

void UpdateStatus(Instance& in) {
  // The meter's request stays until a serial poll or *CLS ends it.
  if (in.definition->statusModel && !in.definition->habits.requestWhileReason)
    UpdateRequest(in.status, !in.output.empty());
}

void RunMessage(Instance& in, std::string_view message, Nanoseconds now) {
  Reply reply;
  const bool each = in.definition->habits.responsePerCommand;
  for (;;) {
    size_t semi = message.find(';');
    std::string_view command = Trim(message.substr(0, semi));
    if (!command.empty()) Execute(in, command, reply);
    if (in.definition->habits.requestWhileReason) RequestWhileReason(in.status, !in.output.empty() || !reply.parts.empty());
    if (semi == std::string_view::npos) break;
    message.remove_prefix(semi + 1);
  }
  if (reply.parts.empty()) return;
  PendingResponse r;
  for (size_t i = 0; i < reply.parts.size(); ++i)
    r.bytes += (i && !each ? ";" : "") + reply.parts[i] + (each ? in.definition->r : "");
  if (!each) r.bytes += in.definition->r;
  // Responses are read in the order their messages came.
  r.readyAt = now + reply.delay;
  if (!in.pending.empty()) r.readyAt = std::max(r.readyAt, in.pending.back().readyAt);
  in.pending.push_back(std::move(r));
}

}  // namespace

bool Less(const Value& a, const Value& b) {
  if (std::holds_alternative<std::string>(a) || std::holds_alternative<std::string>(b))
    return std::holds_alternative<std::string>(a) && std::holds_alternative<std::string>(b) &&
           std::get<std::string>(a) < std::get<std::string>(b);
  return AsNumber(a) < AsNumber(b);
}


void PowerOn(Instance& in) {
  const Definition& d = *in.definition;
  in.values.clear();
  for (const Property& p : d.properties) in.values.push_back(p.initial);
  in.registers.assign(d.registers.size(), 0);
  in.queues.assign(d.queues.size(), {});
  in.status = StatusModel();
  if (d.statusModel && d.habits.powerOnEvent) in.status.esr = kPON;
  in.status.srq = d.habits.requestAtPowerOn;
  in.input.clear();
  in.output.clear();
  in.pending.clear();
  Seed(in.random, d.seed);
}

void Receive(Instance& in, std::string_view bytes, bool end, Nanoseconds now) {
  in.input.append(bytes);
  const std::string& q = in.definition->q;
  for (size_t at; !q.empty() && (at = in.input.find(q)) != std::string::npos;) {
    std::string message = in.input.substr(0, at);
    in.input.erase(0, at + q.size());
    RunMessage(in, message, now);
  }
  if (end) {
    std::string message;
    message.swap(in.input);
    RunMessage(in, message, now);
  }
  TimePassed(in, now);
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

void Execute(Instance& in, std::string_view command, Reply& reply) {
  const bool anyCase = in.definition->habits.anyCase;
  auto exact = [&](const std::string& q) { return anyCase ? SameText(q, command) : q == command; };
  if (RunAnswer(in, reply, exact) || RunSetter(in, command, reply) || RunErrorQuery(in, reply, exact)) return;
  if (in.definition->statusModel) {
    // The file's own answer to a common command or error query serves all its forms.
    auto same = [&](const std::string& q) { return SameCommonCommand(q, command); };
    if (RunAnswer(in, reply, same) || RunErrorQuery(in, reply, same)) return;
    if (RunCommonCommand(in, command, reply)) return;
  }
  CommandError(in, reply, kUndefinedHeader);
}

void CommandError(Instance& in, Reply& reply, int code) {
  const Definition& d = *in.definition;
  Queue(reply, d.commandError);
  for (size_t i = 0; i < d.registers.size(); ++i) in.registers[i] |= d.registers[i].commandError;
  for (size_t i = 0; i < d.queues.size(); ++i) PushFileEntry(in.queues[i], d.queues[i].commandError);
  if (d.statusModel) PushError(in.status, code);
}

void TimePassed(Instance& in, Nanoseconds now) {
  while (!in.pending.empty() && in.pending.front().readyAt <= now) {
    in.output += in.pending.front().bytes;
    in.pending.pop_front();
  }
  UpdateStatus(in);
}

Nanoseconds ReadableAt(const Instance& in) {
  if (!in.output.empty()) return 0;
  return in.pending.empty() ? -1 : in.pending.front().readyAt;
}

void QueryError(Instance& in) {
  const Definition& d = *in.definition;
  if (!d.habits.queryErrors) return;
  for (size_t i = 0; i < d.registers.size(); ++i) in.registers[i] |= d.registers[i].queryError;
  for (size_t i = 0; i < d.queues.size(); ++i) PushFileEntry(in.queues[i], d.queues[i].queryError);
  if (d.statusModel) PushError(in.status, kQueryUnterminated);
  if (d.queryError.present) in.output += d.queryError.text + d.r;
  UpdateStatus(in);
}

size_t Talk(Instance& in, char* buf, size_t max, bool& end) {
  size_t n = std::min(max, in.output.size());
  if (n) std::memcpy(buf, in.output.data(), n);
  in.output.erase(0, n);
  end = n > 0 && in.output.empty();
  UpdateStatus(in);
  return n;
}

uint8_t SerialPoll(Instance& in) {
  bool mav = !in.output.empty();
  if (!in.definition->statusModel) return mav ? kMAV : 0;
  if (in.definition->habits.requestWhileReason) {
    const uint8_t stb = static_cast<uint8_t>(StatusByte(in.status, mav) | in.definition->habits.statusBits |
                                             (in.status.srq ? kMSS : 0));
    in.status.srq = false;
    return stb;
  }
  return PollStatus(in.status, mav);
}

void DeviceClear(Instance& in) {
  in.input.clear();
  in.output.clear();
  in.pending.clear();
  UpdateStatus(in);
}

}  // namespace vorel::sim::described
