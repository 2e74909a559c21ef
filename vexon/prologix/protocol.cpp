// The "++" protocol: set-up, settings sent only on change, data lines and reads.
//
// How a read tells EOI from a timeout: the adapter is set up with
// "++eot_enable 1", so it appends the byte of "++eot_char" (the mark) to what
// it passes on when the device ended with EOI, and appends nothing when its
// own timeout ended the read. The adapter sends nothing more after a read, so
// a mark that arrives last and is followed by a short quiet spell is the end
// of the message; a mark byte inside the data is followed by more data at
// once. The mark is chosen among the byte values the device's last response
// did not contain, so binary data seldom holds it at all.
#include "protocol.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace vexon::prologix {

namespace {

using Clock = std::chrono::steady_clock;

// How long a line may take to leave.
constexpr int kSendTimeoutMs = 3000;
// How long a mark (or the EOS byte) must stay the last byte to be the end.
constexpr int kSettleMs = 10;
// What the stream adds to the adapter's own read timeout before the adapter
// counts as done: transit and the adapter's reaction.
constexpr int kSlackMs = 50;
// The longest response kept from one read.
constexpr size_t kMaxResponse = 16u << 20;
// How long an adapter has to answer "++ver" when it is opened; an AR488
// restarts when its port opens and is asked again until this has passed.
constexpr int kHelloTimeoutMs = 1000;
constexpr int kAr488ResetMs = 3000;
constexpr int kAr488AskMs = 250;

int Elapsed(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

}  // namespace

std::string EscapeData(const void* buf, int count) {
  std::string line;
  line.reserve(static_cast<size_t>(count) + 8);
  const auto* p = static_cast<const uint8_t*>(buf);
  for (int i = 0; i < count; ++i) {
    if (p[i] == '\r' || p[i] == '\n' || p[i] == 27 || p[i] == '+') line += '\x1b';
    line += static_cast<char>(p[i]);
  }
  line += '\n';
  return line;
}

std::string Adapter::Where() const {
  return settings_.host.empty() ? settings_.port
                                : settings_.host + ":" + std::to_string(settings_.tcpPort);
}

int Adapter::ReadTimeoutFor(int timeoutMs) const {
  const int longest = ar488_ ? 32000 : 3000;
  if (timeoutMs < 0) return longest;
  // A little less than the handle's timeout, so that the adapter has given
  // up by the time the handle's timeout ends the wait here.
  int ms = timeoutMs - timeoutMs / 8;
  return ms < 1 ? 1 : ms > longest ? longest : ms;
}

void Adapter::Drop() {
  transport_.Close();
  pad_ = sad_ = eoi_ = eotChar_ = readTmo_ = -1;
  leftovers_.clear();
  unsettled_ = false;
}

Outcome Adapter::Ready() {
  if (transport_.IsOpen()) return Outcome::Done;
  Drop();
  if (!transport_.Open(settings_)) return Outcome::Broken;
  Outcome o = SetUp();
  if (o != Outcome::Done) {
    int e = o == Outcome::NoAnswer ? ETIMEDOUT : errno;
    Drop();
    errno = e;
    return Outcome::Broken;
  }
  return o;
}

Outcome Adapter::SetUp() {
  std::string answer;
  Outcome o;
  if (ar488_) {
    // The board restarts when the port opens and ignores what comes before
    // its firmware runs: ask until it answers.
    const auto start = Clock::now();
    do o = Ask("++ver", answer, kAr488AskMs);
    while (o == Outcome::NoAnswer && Elapsed(start) < kAr488ResetMs);
  } else {
    o = Ask("++ver", answer, kHelloTimeoutMs);
  }
  if (o != Outcome::Done) return o;
  // Late answers to repeated questions, or what a previous user left.
  if (!transport_.Drain(20, 500)) return Outcome::Broken;
  unsettled_ = false;
  // Nothing a previous user saved is assumed. Prologix adapters store each
  // change in EEPROM unless told not to; an AR488 saves only on request.
  static const char* const kPrologixSetUp[] = {"++savecfg 0", "++mode 1", "++auto 0", "++eos 3",
                                               "++eot_enable 1"};
  for (const char* line : kPrologixSetUp) {
    if (ar488_ && std::strcmp(line, "++savecfg 0") == 0) continue;
    if ((o = Command(line)) != Outcome::Done) return o;
  }
  return Outcome::Done;
}

Outcome Adapter::SettleStream() {
  if (!unsettled_) return Outcome::Done;
  unsettled_ = false;
  int quiet = (readTmo_ > 0 ? readTmo_ : 3000) + kSlackMs;
  return transport_.Drain(quiet, 4 * quiet) ? Outcome::Done : Outcome::Broken;
}

Outcome Adapter::Send(const std::string& bytes) {
  if (SettleStream() != Outcome::Done) return Outcome::Broken;
  return transport_.Send(bytes, kSendTimeoutMs) ? Outcome::Done : Outcome::Broken;
}

Outcome Adapter::Command(const std::string& line) { return Send(line + "\n"); }

Outcome Adapter::Ask(const std::string& line, std::string& answer, int timeoutMs) {
  answer.clear();
  if (Outcome o = Command(line); o != Outcome::Done) return o;
  const auto start = Clock::now();
  char c;
  for (;;) {
    int left = timeoutMs - Elapsed(start);
    long n = transport_.Receive(&c, 1, left < 0 ? 0 : left);
    if (n < 0) return Outcome::Broken;
    if (n == 0) {
      unsettled_ = true;  // a late answer is thrown away
      return Outcome::NoAnswer;
    }
    if (c == '\n') break;
    if (c != '\r') answer += c;
  }
  return Outcome::Done;
}

Outcome Adapter::Setting(int& known, int value, const char* command) {
  if (known == value) return Outcome::Done;
  Outcome o = Command(std::string(command) + " " + std::to_string(value));
  if (o == Outcome::Done) known = value;
  return o;
}

Outcome Adapter::Address(int pad, int sad) {
  if (pad == pad_ && sad == sad_) return Outcome::Done;
  std::string line = "++addr " + std::to_string(pad);
  if (sad) line += " " + std::to_string(sad);
  Outcome o = Command(line);
  if (o == Outcome::Done) pad_ = pad, sad_ = sad;
  return o;
}

Outcome Adapter::SetEoi(bool on) { return Setting(eoi_, on ? 1 : 0, "++eoi"); }

Outcome Adapter::WriteData(const void* buf, int count) {
  // What the device had not yet said is gone once it hears a new message.
  leftovers_.erase(pad_ | sad_ << 8);
  return Send(EscapeData(buf, count));
}

void Adapter::TakeLeftover(Leftover& left, uint8_t* buf, const ReadRequest& r, ReadResult& result) {
  size_t want = static_cast<size_t>(r.count - result.count), n = 0;
  bool eosHit = false;
  while (n < left.bytes.size() && n < want) {
    uint8_t c = static_cast<uint8_t>(left.bytes[n++]);
    if (r.stopAtEos && c == static_cast<uint8_t>(r.eosChar)) {
      eosHit = true;
      break;
    }
  }
  if (n) std::memcpy(buf + result.count, left.bytes.data(), n);
  result.count += static_cast<int>(n);
  left.bytes.erase(0, n);
  if (eosHit) {
    result.end = true;
  } else if (left.bytes.empty() && left.end) {
    result.end = true;
    left.end = false;
  }
}

void Adapter::ChooseMark(const std::string& got, const ReadRequest& r) {
  bool seen[256] = {};
  for (char c : got) seen[static_cast<uint8_t>(c)] = true;
  if (r.stopAtEos) seen[r.eosChar & 0xFF] = true;
  if (!seen[mark_]) return;
  for (int v = 0xFF; v >= 0; --v)
    if (!seen[v]) return void(mark_ = v);
}

Outcome Adapter::FreshRead(const ReadRequest& r, std::string& got, bool& ended) {
  got.clear();
  ended = false;
  const int tmo = ReadTimeoutFor(r.timeoutMs);
  if (r.stopAtEos && mark_ == (r.eosChar & 0xFF)) mark_ = (mark_ + 1) & 0xFF;
  Outcome o = Setting(readTmo_, tmo, "++read_tmo_ms");
  if (o == Outcome::Done) o = Setting(eotChar_, mark_, "++eot_char");
  if (o == Outcome::Done)
    o = Command(r.stopAtEos ? "++read " + std::to_string(r.eosChar & 0xFF) : std::string("++read eoi"));
  if (o != Outcome::Done) return o;
  const auto start = Clock::now();
  auto lastByte = start;
  char chunk[4096];
  for (;;) {
    const auto back = got.empty() ? -1 : static_cast<uint8_t>(got.back());
    const bool markLast = back == mark_;
    const bool eosLast = r.stopAtEos && back == (r.eosChar & 0xFF);
    int wait = tmo + kSlackMs - Elapsed(lastByte);
    if (markLast || eosLast) wait = std::min(wait, kSettleMs);
    if (r.timeoutMs >= 0) wait = std::min(wait, r.timeoutMs - Elapsed(start));
    long n = wait > 0 ? transport_.Receive(chunk, sizeof chunk, wait) : 0;
    if (n < 0) return Outcome::Broken;
    if (n > 0 && got.size() < kMaxResponse) {
      got.append(chunk, static_cast<size_t>(n));
      lastByte = Clock::now();
      continue;
    }
    if (n > 0) {  // a talker that never ends: keep what fits, drop the rest
      unsettled_ = true;
      break;
    }
    if (markLast) {
      got.pop_back();
      ended = true;
    } else if (Stopped()) {
      unsettled_ = true;  // the adapter may still be reading
    } else if (!eosLast && r.timeoutMs >= 0 && Elapsed(start) >= r.timeoutMs) {
      // The handle's time is up; the adapter may still be reading.
      if (Elapsed(lastByte) < tmo + kSlackMs) unsettled_ = true;
    }
    break;
  }
  ChooseMark(got, r);
  return Outcome::Done;
}

Outcome Adapter::Read(uint8_t* buf, const ReadRequest& r, ReadResult& result) {
  result = {};
  if (r.count <= 0) return Outcome::Done;
  Leftover& left = leftovers_[pad_ | sad_ << 8];
  if (!left.bytes.empty()) {
    TakeLeftover(left, buf, r, result);
    if (result.end || result.count == r.count) return Outcome::Done;
  }
  std::string got;
  bool ended = false;
  if (Outcome o = FreshRead(r, got, ended); o != Outcome::Done) return o;
  left.bytes = std::move(got);
  left.end = ended;
  TakeLeftover(left, buf, r, result);
  // An empty message that ended with EOI reads as nothing, with END.
  if (ended && result.count == 0) result.end = true, left.end = false;
  return Outcome::Done;
}

}  // namespace vexon::prologix
