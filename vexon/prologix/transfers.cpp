// Writing, reading, serial poll and the SRQ line through the adapter.
#include "transfers.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace vexon::prologix {

namespace {

// How often WaitSRQ and ibwait ask for the SRQ line.
constexpr int kSrqPollMs = 20;

bool Addressed(Board& b, int base, int pad, int sad) {
  return ReadyOrFail(b, base) && StepOk(b, b.adapter->Address(pad, sad), base);
}

// A number the adapter answered with, 0 to limit; -1 when it is none.
int NumberIn(const std::string& s, int limit) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str() || *end != '\0' || v < 0 || v > limit) return -1;
  return static_cast<int>(v);
}

int Garbled(int base) { return Fail(base, EDVR, EPROTO), -1; }

}  // namespace

int WriteTo(Board& b, int base, int pad, int sad, const void* buf, int count, bool eoi) {
  if (!Addressed(b, base, pad, sad)) return LastStatus();
  if (count > 0) {
    if (!StepOk(b, b.adapter->SetEoi(eoi), base)) return LastStatus();
    if (!StepOk(b, b.adapter->WriteData(buf, count), base)) return LastStatus();
  }
  return Finish(base | CMPL, 0, count);
}

int ReadFrom(Board& b, int base, int pad, int sad, void* buf, int count, bool stopAtEos, int eosChar,
             int timeoutMs) {
  if (!Addressed(b, base, pad, sad)) return LastStatus();
  if (count == 0) return Finish(base | CMPL, 0, 0);
  ReadRequest r{count, stopAtEos, eosChar, timeoutMs};
  ReadResult got;
  if (!StepOk(b, b.adapter->Read(static_cast<uint8_t*>(buf), r, got), base)) return LastStatus();
  if (got.count == 0 && !got.end) return Fail(base | (b.adapter->Stopped() ? 0 : TIMO), EABO);
  return Finish(base | CMPL | (got.end ? END : 0), 0, got.count);
}

int DeviceCommand(Board& b, int base, int pad, int sad, const char* line) {
  if (!Addressed(b, base, pad, sad)) return LastStatus();
  if (!StepOk(b, b.adapter->Command(line), base)) return LastStatus();
  return Finish(base | CMPL, 0, 0);
}

int SerialPoll(Board& b, int base, int pad, int sad, int timeoutMs) {
  if (!Addressed(b, base, pad, sad)) return -1;
  std::string answer;
  if (!StepOk(b, b.adapter->Ask("++spoll", answer, timeoutMs < 0 ? kNoLimitMs : timeoutMs), base))
    return -1;
  int stb = NumberIn(answer, 255);
  return stb < 0 ? Garbled(base) : stb;
}

int SrqLine(Board& b, int base) {
  if (!ReadyOrFail(b, base)) return -1;
  std::string answer;
  if (!StepOk(b, b.adapter->Ask("++srq", answer, 1000), base)) return -1;
  int v = NumberIn(answer, 1);
  return v < 0 ? Garbled(base) : v;
}

int WaitForSrq(Board& b, int base, int timeoutMs) {
  if (timeoutMs < 0) timeoutMs = kNoLimitMs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int v = SrqLine(b, base);
    if (v != 0) return v;
    if (b.adapter->Stopped()) return Fail(base, EABO), -1;
    if (std::chrono::steady_clock::now() >= deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kSrqPollMs));
  }
}

}  // namespace vexon::prologix
