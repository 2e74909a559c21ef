// The "++" protocol: set-up, settings sent only on change, data lines,
// reads, and a clean stream before every command.
//
// How a read ends: the adapter is set up with "++eot_enable 1", so it
// appends the byte of "++eot_char" (the mark) to what it passes on when the
// device ended with EOI, and appends nothing when its own timeout ended the
// read ("++read_tmo_ms", the longest wait for a byte). Where a mark byte can
// be data, ReplyScan says (reply_scan.h). The mark is chosen among the
// byte values the device's last response did not contain.
//
// The adapter's own timeout is kept short and a read that it ended is asked
// again ("++read" once more, where the talker left off) until the call's
// time is up, so the handle's timeout counts and not the adapter's. Neither
// manual gives a way to end a "++read" or "++spoll" under way: once a call
// stops listening (its time is up, or ibstop), the adapter is busy until its
// own timeout has run, and the next command waits for that. The short
// timeout keeps that wait short.
#include "protocol.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "adapter_lines.h"

namespace vexon::prologix {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a line may take to leave.
constexpr int kSendTimeoutMs = 3000;
// What the stream adds to the adapter's own timeout before the adapter
// counts as done: transit and the adapter's reaction.
constexpr int kSlackMs = 50;
// An Arduino restarts when its port opens and ignores what comes before its
// firmware runs: "++ver" is asked this often, for this long.
constexpr int kHelloEveryMs = 100;
constexpr int kHelloForMs = 3000;
// Answers to the repeated questions come within this quiet spell.
constexpr int kHelloQuietMs = 30;
// How long a command checked with "++ver" behind it may take.
constexpr int kCheckMs = 3000;
// The longest "++read_tmo_ms" sent (both adapters take up to 3000 ms): what
// the next command may wait after a call stopped listening to a read.
constexpr int kReadSliceMs = 250;

// Milliseconds to t, rounded up so that a wait does not end short of it;
// -1 for no limit.
int MsUntil(Clock::time_point t) {
  if (t == Clock::time_point::max()) return -1;
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(t - Clock::now()).count();
  return us <= 0 ? 0 : static_cast<int>(std::min<long long>((us + 999) / 1000, 1 << 30));
}

}  // namespace

AdapterKind KindFromVersion(const std::string& version, bool configuredAr488) {
  AdapterKind k;
  k.ar488 = configuredAr488 || version.find("AR488") != std::string::npos;
  if (!k.ar488) return k;
  // The first "MAJOR.MINOR" in the answer ("AR488 GPIB controller, ver. 0.53.03").
  auto digit = [&](size_t i) { return i < version.size() && std::isdigit(static_cast<unsigned char>(version[i])); };
  for (size_t i = 0; i < version.size(); ++i) {
    if (!digit(i)) continue;
    int major = 0, minor = 0;
    if (std::sscanf(version.c_str() + i, "%d.%d", &major, &minor) == 2) {
      k.readTakesNoEndByte = major == 0 && minor >= 53;
      break;
    }
    while (digit(i + 1)) ++i;
  }
  return k;
}

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

int Adapter::ReadTimeoutFor(int budgetMs) const {
  if (budgetMs < 0) return kReadSliceMs;
  return std::clamp(budgetMs, 1, kReadSliceMs);
}

void Adapter::Begin(int timeoutMs) {
  callMs_ = timeoutMs;
  deadline_ = timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + milliseconds(timeoutMs);
  refusal_.clear();
  refusalError_ = 0;
}

Clock::time_point Adapter::Until(int ms) const { return std::min(Clock::now() + milliseconds(ms), deadline_); }

Outcome Adapter::Refuse(const std::string& line, int error) {
  refusal_ = line;
  while (!refusal_.empty() && (refusal_.back() == '\r' || refusal_.back() == '\n')) refusal_.pop_back();
  refusalError_ = error;
  return Outcome::Refused;
}

void Adapter::Drop() {
  transport_.Close();
  pad_ = sad_ = eoi_ = eotChar_ = readTmo_ = -1;
  inAt_ = inEnd_ = 0;
  reading_ = markMayFollow_ = false;
  busyUntil_ = Clock::time_point{};
  linesDue_ = 0;
  moreDue_ = false;
  kind_ = AdapterKind{};
}

Outcome Adapter::Ready() {
  if (transport_.IsOpen()) return Outcome::Done;
  Drop();
  if (!transport_.Open(settings_)) return Outcome::Broken;
  // The set-up has its own time, whatever the call allows.
  const auto deadline = deadline_;
  deadline_ = Clock::time_point::max();
  Outcome o = SetUp();
  deadline_ = deadline;
  if (o == Outcome::Done) return o;
  int e = o == Outcome::NoAnswer ? ETIMEDOUT : errno;
  if (o == Outcome::NoAnswer) transport_.NoteProblem("no answer to ++ver: no Prologix or AR488 adapter answers there");
  Drop();
  errno = e;
  return o == Outcome::Refused ? o : Outcome::Broken;
}

Outcome Adapter::SetUp() {
  std::string answer;
  Outcome o;
  const auto start = Clock::now();
  do {
    o = Ask("++ver", answer, kHelloEveryMs);
    busyUntil_ = Clock::time_point{};  // unanswered only because it was not listening yet
    linesDue_ = 0;
  } while (o == Outcome::NoAnswer && Clock::now() - start < milliseconds(kHelloForMs));
  if (o != Outcome::Done) return o;
  // Late answers to the repeated questions.
  for (const auto limit = Clock::now() + milliseconds(500); Clock::now() < limit;) {
    Outcome failed;
    int got = ReceiveMore(Clock::now() + milliseconds(kHelloQuietMs), failed);
    if (got < 0) return failed;
    if (got == 0) break;
    inAt_ = inEnd_ = 0;
  }
  version_ = answer;
  kind_ = KindFromVersion(answer, configuredAr488_);
  // Nothing a previous user saved is assumed. A Prologix adapter stores each
  // change in EEPROM unless told not to; on an AR488 "++savecfg" is itself
  // an EEPROM write.
  std::string lines = ar488() ? "" : "++savecfg 0\n";
  lines += "++mode 1\n++auto 0\n++eos 3\n++eot_enable 1";
  return Checked(lines);
}

Outcome Adapter::Send(const std::string& bytes) {
  if (Outcome o = Settle(); o != Outcome::Done) return o;
  return Transmit(bytes);
}

Outcome Adapter::Transmit(const std::string& bytes) {
  const int left = MsUntil(deadline_);
  if (transport_.Send(bytes, left < 0 ? kSendTimeoutMs : std::min(kSendTimeoutMs, left))) return Outcome::Done;
  // A line cut off by the call's time or by ibstop leaves the adapter a part
  // of it, which would spoil the next line: the next call opens the stream
  // afresh.
  if (errno == ECANCELED) return Drop(), Outcome::Stopped;
  if (errno == ETIMEDOUT && left >= 0 && left < kSendTimeoutMs) return Drop(), Outcome::NoAnswer;
  return Outcome::Broken;
}

int Adapter::ReceiveMore(Clock::time_point until, Outcome& failed) {
  if (inAt_ == inEnd_) {
    inAt_ = inEnd_ = 0;
  } else if (inEnd_ == in_.size()) {
    std::memmove(in_.data(), in_.data() + inAt_, inEnd_ - inAt_);
    inEnd_ -= inAt_;
    inAt_ = 0;
  }
  long n = transport_.Receive(in_.data() + inEnd_, in_.size() - inEnd_, MsUntil(std::min(until, deadline_)));
  if (n == Transport::kWoken) return failed = Outcome::Stopped, -1;
  if (n < 0) return failed = Outcome::Broken, -1;
  if (n == 0) return 0;
  inEnd_ += static_cast<size_t>(n);
  lastHeard_ = Clock::now();
  return 1;
}

Outcome Adapter::Settle() {
  // The rest of a response no read wants any more.
  if (reading_) {
    if (Outcome o = DiscardReply(); o != Outcome::Done) return o;
  }
  inAt_ = inEnd_ = 0;
  // What the adapter sends while its own timeout runs: the tail of a read
  // that timed out here, a late answer.
  const int tmo = readTmo_ > 0 ? readTmo_ : ReadTimeoutFor(-1);
  while (Clock::now() < busyUntil_) {
    Outcome failed;
    int got = ReceiveMore(busyUntil_, failed);
    if (got < 0) return failed;
    if (got > 0) {
      if (!moreDue_ && linesDue_ > 0) {
        linesDue_ -= static_cast<int>(std::count(in_.begin() + static_cast<long>(inAt_),
                                                 in_.begin() + static_cast<long>(inEnd_), '\n'));
        if (linesDue_ <= 0) busyUntil_ = Clock::time_point{};  // every late answer is in
      }
      inAt_ = inEnd_ = 0;
      if (busyUntil_ != Clock::time_point{}) busyUntil_ = Clock::now() + milliseconds(tmo + kSlackMs);
    } else if (Clock::now() >= deadline_ && Clock::now() < busyUntil_) {
      return Outcome::NoAnswer;
    }
  }
  linesDue_ = 0;
  moreDue_ = false;
  // Whatever came unasked.
  for (;;) {
    Outcome failed;
    int got = ReceiveMore(Clock::time_point{}, failed);
    if (got < 0) return failed;
    if (got == 0) break;
    if (markMayFollow_ && static_cast<uint8_t>(in_[0]) == mark_) markMayFollow_ = false;
    inAt_ = inEnd_ = 0;
  }
  return Outcome::Done;
}

Outcome Adapter::DiscardReply() {
  uint8_t scratch[4096];
  const ReadRequest r{static_cast<int>(sizeof scratch), false, 0};
  // Until its end, the adapter's own timeout, or the call's time; the last
  // leaves the adapter busy, which the caller then waits out.
  while (reading_) {
    ReadResult result;
    if (Outcome o = ReadReply(scratch, r, result, false); o != Outcome::Done) return o;
  }
  return Outcome::Done;
}

Outcome Adapter::Command(const std::string& line) { return Send(line + "\n"); }

Outcome Adapter::ReadLine(std::string& line, Clock::time_point until) {
  line.clear();
  for (;;) {
    while (inAt_ < inEnd_) {
      char c = in_[inAt_++];
      if (markMayFollow_) {
        markMayFollow_ = false;
        if (static_cast<uint8_t>(c) == mark_) continue;
      }
      if (c == '\n') return Outcome::Done;
      if (c != '\r') line += c;
    }
    Outcome failed;
    int got = ReceiveMore(until, failed);
    if (got < 0) return failed;
    if (got == 0) return Outcome::NoAnswer;
  }
}

Outcome Adapter::Ask(const std::string& line, std::string& answer, int waitMs) {
  answer.clear();
  if (Outcome o = Command(line); o != Outcome::Done) return o;
  const auto sent = Clock::now();
  Outcome o = ReadLine(answer, Until(waitMs));
  // Unanswered in time or stopped: the answer may still come.
  if (o == Outcome::NoAnswer || o == Outcome::Stopped) {
    busyUntil_ = std::max(busyUntil_, sent + milliseconds(waitMs + kSlackMs));
    ++linesDue_;
  }
  if (o != Outcome::Done) return o;
  if (int e = 0; AdapterRefusal(answer, e)) return Refuse(answer, e);
  return Outcome::Done;
}

Outcome Adapter::Checked(const std::string& line) {
  if (Outcome o = Send(line + "\n++ver\n"); o != Outcome::Done) return o;
  const auto sent = Clock::now();
  const auto until = Until(kCheckMs);
  std::string got, refusal;
  int error = 0;
  bool refused = false;
  for (;;) {
    Outcome o = ReadLine(got, until);
    if (o == Outcome::NoAnswer || o == Outcome::Stopped) {
      busyUntil_ = std::max(busyUntil_, sent + milliseconds(kCheckMs + kSlackMs));
      moreDue_ = true;
    }
    if (o != Outcome::Done) return o;
    if (got == version_) break;
    if (int e = 0; !refused && AdapterRefusal(got, e)) refusal = got, error = e, refused = true;
  }
  return refused ? Refuse(refusal, error) : Outcome::Done;
}

Outcome Adapter::Poll(std::string& answer) {
  int budget = callMs_;
  for (;;) {
    const int tmo = ReadTimeoutFor(budget);
    if (Outcome o = Setting(readTmo_, tmo, "++read_tmo_ms"); o != Outcome::Done) return o;
    Outcome o = Ask("++spoll", answer, tmo + kSlackMs);
    if (o != Outcome::NoAnswer || Clock::now() >= deadline_) return o;
    // The adapter gave up on the device: ask again while the call's time lasts.
    budget = (MsUntil(deadline_) + 99) / 100 * 100;
  }
}

Outcome Adapter::Pause(int ms) {
  // Up to the deadline, not a rounded millisecond short of it.
  int left = MsUntil(deadline_);
  if (left >= 0) ms = std::min(ms, left + 1);
  return transport_.Pause(ms) ? Outcome::Done : Outcome::Stopped;
}

Outcome Adapter::Setting(int& known, int value, const char* command) {
  if (known == value) return Outcome::Done;
  Outcome o = Command(std::string(command) + " " + std::to_string(value));
  if (o == Outcome::Done) known = value;
  return o;
}

Outcome Adapter::Address(int pad, int sad) {
  if (pad == pad_ && sad == sad_) return Outcome::Done;
  std::string line = "++addr ";
  line += std::to_string(pad);
  if (sad) line.append(" ").append(std::to_string(sad));
  Outcome o = Command(line);
  if (o == Outcome::Done) pad_ = pad, sad_ = sad;
  return o;
}

Outcome Adapter::SetEoi(bool on) { return Setting(eoi_, on ? 1 : 0, "++eoi"); }

Outcome Adapter::WriteData(const void* buf, int count) { return Send(EscapeData(buf, count)); }

Outcome Adapter::StartRead(const ReadRequest& r, int budgetMs, bool fresh) {
  // An AR488 0.53 reads a number after "++read" as an address: read to EOI
  // there and stop at the EOS byte here.
  const bool toEoi = !r.stopAtEos || kind_.readTakesNoEndByte;
  const int avoid = r.stopAtEos ? r.eosChar & 0xFF : -1;
  if (mark_ == avoid) {
    bool none[256] = {};
    mark_ = ChooseMark(mark_, none, avoid);
  }
  const int tmo = ReadTimeoutFor(budgetMs);
  std::string lines;
  if (readTmo_ != tmo) lines += "++read_tmo_ms " + std::to_string(tmo) + "\n";
  if (eotChar_ != mark_) lines += "++eot_char " + std::to_string(mark_) + "\n";
  lines += toEoi ? std::string("++read eoi\n") : "++read " + std::to_string(avoid) + "\n";
  // Going on with a response, what is on its way is more of it: the stream
  // is not cleaned first.
  if (Outcome o = fresh ? Send(lines) : Transmit(lines); o != Outcome::Done) return o;
  readTmo_ = tmo;
  eotChar_ = mark_;
  reading_ = true;
  readingKey_ = pad_ | sad_ << 8;
  readingToEoi_ = toEoi;
  if (fresh) {
    scan_.Reset();
    std::fill(std::begin(seen_), std::end(seen_), false);
    replyTaken_ = 0;
  }
  lastHeard_ = Clock::now();
  return Outcome::Done;
}

void Adapter::FinishReply() {
  reading_ = false;
  mark_ = ChooseMark(mark_, seen_, -1);
}

Adapter::Take Adapter::TakeBytes(uint8_t* buf, const ReadRequest& r, ReadResult& result) {
  const uint8_t eos = static_cast<uint8_t>(r.eosChar);
  while (inAt_ < inEnd_) {
    const auto* p = reinterpret_cast<const uint8_t*>(in_.data()) + inAt_;
    if (markMayFollow_) {
      markMayFollow_ = false;
      if (*p == mark_) {
        ++inAt_;
        continue;
      }
    }
    if (result.count == r.count) return Take::Wanted;
    if (scan_.InPayload()) {
      size_t n = std::min({inEnd_ - inAt_, static_cast<size_t>(r.count - result.count),
                           static_cast<size_t>(std::min<uint64_t>(scan_.payloadLeft, SIZE_MAX))});
      bool eosHit = false;
      if (r.stopAtEos) {
        if (const void* at = std::memchr(p, eos, n)) {
          n = static_cast<size_t>(static_cast<const uint8_t*>(at) - p) + 1;
          eosHit = true;
        }
      }
      // A mark with nothing behind it yet may be the end even here: the
      // header may have been text that only looked like one.
      const bool markLast = !eosHit && inAt_ + n == inEnd_ && p[n - 1] == mark_;
      if (markLast) --n;
      std::memcpy(buf + result.count, p, n);
      for (size_t i = 0; i < n; ++i) seen_[p[i]] = true;
      result.count += static_cast<int>(n);
      inAt_ += n;
      replyTaken_ += n;
      scan_.TakePayload(p, n);
      if (eosHit) return EosReached(result);
      if (markLast) return Take::Mark;
      continue;
    }
    if (*p == mark_ && inAt_ + 1 == inEnd_) return Take::Mark;
    buf[result.count++] = *p;
    seen_[*p] = true;
    scan_.Feed(*p);
    ++inAt_;
    ++replyTaken_;
    if (r.stopAtEos && *p == eos) return EosReached(result);
  }
  return result.count == r.count ? Take::Wanted : Take::More;
}

Adapter::Take Adapter::EosReached(ReadResult& result) {
  result.end = true;
  // After "++read N" the adapter stopped at the byte and appends the mark
  // only when EOI came with it; reading to EOI, it goes on and the rest
  // waits for the next read of this device.
  if (!readingToEoi_) {
    FinishReply();
    markMayFollow_ = true;
  }
  return Take::Wanted;
}

Outcome Adapter::CheckRefusal() {
  // A line of the adapter's own may stand where the reply starts: it
  // answered a command of this call with it, not the device.
  if (replyTaken_ != 0) return Outcome::Done;
  for (;;) {
    const char* p = in_.data() + inAt_;
    const size_t n = inEnd_ - inAt_;
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', n));
    std::string line(p, nl ? static_cast<size_t>(nl - p) : n);
    int error = 0;
    const bool refusal = AdapterRefusal(line, error);
    if (nl && !refusal) return Outcome::Done;
    if (!nl && !RefusalPrefix(line)) return Outcome::Done;
    if (nl) {
      // Device data ends with the mark; the adapter's line does not.
      size_t after = static_cast<size_t>(nl - p) + 1;
      if (after < n) {
        if (static_cast<uint8_t>(p[after]) == mark_ && after + 1 == n) return Outcome::Done;
        inAt_ += after;
        return Refuse(line, error);
      }
    }
    Outcome failed;
    int got = ReceiveMore(nl ? Until(settings_.endWaitMs) : lastHeard_ + milliseconds(readTmo_ + kSlackMs), failed);
    if (got < 0) return failed;
    if (got == 0) {
      if (!nl) return Outcome::Done;
      inAt_ += static_cast<size_t>(nl - p) + 1;
      return Refuse(line, error);
    }
  }
}

Outcome Adapter::ReadReply(uint8_t* buf, const ReadRequest& r, ReadResult& result, bool askAgain) {
  for (;;) {
    if (inAt_ < inEnd_) {
      if (Outcome o = CheckRefusal(); o != Outcome::Done) return o;
      Take t = TakeBytes(buf, r, result);
      if (t == Take::Wanted) {
        if (reading_ && !result.end) {
          // The count is reached: an end mark right behind the last byte
          // still belongs to this read, as EOI came with that byte.
          Outcome failed;
          if (inAt_ == inEnd_ && ReceiveMore(Until(settings_.endWaitMs), failed) < 0) return failed;
          if (inEnd_ - inAt_ == 1 && static_cast<uint8_t>(in_[inAt_]) == mark_) {
            int more = scan_.MarkEndsNow(mark_) ? 0 : ReceiveMore(Until(settings_.endWaitMs), failed);
            if (more < 0) return failed;
            if (more == 0) {
              ++inAt_;
              result.end = true;
              FinishReply();
            }
          }
        }
        return Outcome::Done;
      }
      if (t == Take::Mark) {
        if (!scan_.MarkEndsNow(mark_)) {
          // Ambiguous: more bytes behind it make it data.
          const int wait = scan_.InPayload() ? readTmo_ + kSlackMs : settings_.endWaitMs;
          Outcome failed;
          int got = ReceiveMore(Until(wait), failed);
          if (got < 0) return failed;
          if (got > 0) {
            // The mark is data: take it and go on.
            const uint8_t c = static_cast<uint8_t>(in_[inAt_++]);
            buf[result.count++] = c;
            seen_[c] = true;
            if (scan_.InPayload()) scan_.TakePayload(&c, 1);
            else scan_.Feed(c);
            ++replyTaken_;
            if (r.stopAtEos && c == static_cast<uint8_t>(r.eosChar)) {
              EosReached(result);
              return Outcome::Done;
            }
            continue;
          }
        }
        ++inAt_;
        result.end = true;
        FinishReply();
        return Outcome::Done;
      }
    }
    if (!reading_) return Outcome::Done;
    const int tmo = readTmo_ > 0 ? readTmo_ : ReadTimeoutFor(-1);
    const auto adapterDone = lastHeard_ + milliseconds(tmo + kSlackMs);
    Outcome failed;
    int got = ReceiveMore(adapterDone, failed);
    if (got < 0) {
      reading_ = false;
      busyUntil_ = adapterDone;
      moreDue_ = true;
      return failed;
    }
    if (got > 0) continue;
    const auto now = Clock::now();
    if (now >= adapterDone) {
      // The adapter's own timeout ended its read without EOI: ask again
      // while the call's time lasts, the talker going on where it left off.
      if (!askAgain || now >= deadline_) {
        FinishReply();
        result.timedOut = askAgain || result.count == 0;
        return Outcome::Done;
      }
      reading_ = false;
      const int left = MsUntil(deadline_);
      if (Outcome o = StartRead(r, left < 0 ? -1 : (left + 99) / 100 * 100, replyTaken_ == 0);
          o != Outcome::Done)
        return o;
      continue;
    }
    if (now < deadline_) continue;
    // The call's time is up while the adapter may still be reading.
    reading_ = false;
    busyUntil_ = adapterDone;
    moreDue_ = true;
    result.timedOut = true;
    return Outcome::Done;
  }
}

Outcome Adapter::Read(uint8_t* buf, const ReadRequest& r, ReadResult& result) {
  result = {};
  if (r.count <= 0) return Outcome::Done;
  if (!(reading_ && readingKey_ == (pad_ | sad_ << 8))) {
    if (Outcome o = StartRead(r, callMs_, true); o != Outcome::Done) return o;
  }
  return ReadReply(buf, r, result, true);
}

}  // namespace vexon::prologix
