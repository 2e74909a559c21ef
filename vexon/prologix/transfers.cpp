// Writing, reading, serial poll and the SRQ line through the adapter.
#include "transfers.h"

#include <cerrno>
#include <cstdlib>

namespace vexon::prologix {

namespace {

// How often WaitSRQ and ibwait ask for the SRQ line.
constexpr int kSrqPollMs = 20;
// How long the adapter may take to report the SRQ line.
constexpr int kSrqAnswerMs = 1000;

bool Addressed(Board& b, int base, int pad, int sad, int timeoutMs) {
  return ReadyOrFail(b, base, timeoutMs) && StepOk(b, b.adapter->Address(pad, sad), base);
}

// A number the adapter answered with, 0 to limit; -1 when it is none.
int NumberIn(const std::string& s, int limit) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str() || *end != '\0' || v < 0 || v > limit) return -1;
  return static_cast<int>(v);
}

int Garbled(int base) { return Fail(base, EDVR, EPROTO), -1; }

// The SRQ line: 1 or 0; -1 after a failure. With untilTimeout, a question
// the adapter has not answered when the call's time is up is taken as a
// line that stayed false (the wait timed out); its late answer is dropped
// before the next command.
int AskSrq(Board& b, int base, bool untilTimeout = false) {
  std::string answer;
  Outcome o = b.adapter->Ask("++srq", answer, kSrqAnswerMs);
  if (untilTimeout && o == Outcome::NoAnswer && b.adapter->Expired()) return 0;
  if (!StepOk(b, o, base)) return -1;
  int v = NumberIn(answer, 1);
  return v < 0 ? Garbled(base) : v;
}

}  // namespace

int WriteTo(Board& b, int base, int pad, int sad, const void* buf, int count, bool eoi, int timeoutMs) {
  if (!Addressed(b, base, pad, sad, timeoutMs)) return LastStatus();
  if (count > 0) {
    if (!StepOk(b, b.adapter->SetEoi(eoi), base)) return LastStatus();
    if (!StepOk(b, b.adapter->WriteData(buf, count), base)) return LastStatus();
  }
  return Finish(base | CMPL, 0, count);
}

int ReadFrom(Board& b, int base, int pad, int sad, void* buf, int count, bool stopAtEos, int eosChar,
             int timeoutMs) {
  if (!Addressed(b, base, pad, sad, timeoutMs)) return LastStatus();
  if (count == 0) return Finish(base | CMPL, 0, 0);
  ReadRequest r{count, stopAtEos, eosChar};
  ReadResult got;
  Outcome o = b.adapter->Read(static_cast<uint8_t*>(buf), r, got);
  if (o == Outcome::Stopped) return Fail(base, EABO, got.count);
  if (!StepOk(b, o, base)) return LastStatus();
  if (got.timedOut) return Fail(base | TIMO, EABO, got.count);
  return Finish(base | CMPL | (got.end ? END : 0), 0, got.count);
}

int DeviceCommand(Board& b, int base, int pad, int sad, const char* line, int timeoutMs) {
  if (!Addressed(b, base, pad, sad, timeoutMs)) return LastStatus();
  if (!StepOk(b, b.adapter->Command(line), base)) return LastStatus();
  return Finish(base | CMPL, 0, 0);
}

bool BoardCommand(Board& b, int base, const std::string& line, int timeoutMs) {
  return ReadyOrFail(b, base, timeoutMs) && StepOk(b, b.adapter->Checked(line), base);
}

int SerialPoll(Board& b, int base, int pad, int sad, int timeoutMs) {
  if (!Addressed(b, base, pad, sad, timeoutMs)) return -1;
  std::string answer;
  if (!StepOk(b, b.adapter->Poll(answer), base)) return -1;
  int stb = NumberIn(answer, 255);
  return stb < 0 ? Garbled(base) : stb;
}

int SrqLine(Board& b, int base, int timeoutMs) {
  return ReadyOrFail(b, base, timeoutMs) ? AskSrq(b, base) : -1;
}

int WaitForSrq(Board& b, int base, int timeoutMs) {
  if (!ReadyOrFail(b, base, timeoutMs)) return -1;
  for (;;) {
    int v = AskSrq(b, base, true);
    if (v != 0) return v;
    if (b.adapter->Pause(kSrqPollMs) == Outcome::Stopped) return Fail(base, EABO), -1;
    if (b.adapter->Expired()) return 0;
  }
}

}  // namespace vexon::prologix
