// The IEEE 488.2 routines that reduce to what the adapters do: data to and
// from one device at a time, device clear, trigger, serial poll, the SRQ
// line and IFC. An AR488 adds DCL, REN, parallel poll and FindLstn.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "calls.h"
#include "transfers.h"

namespace vexon::prologix {

namespace {

// Addresses one "++trg" line may name.
constexpr int kTriggerBatch = 15;

struct HeldBoard {
  explicit HeldBoard(int board) : b(BoardAt(board)), lock(b.lock), occupied(b, -1) {}
  Board& b;
  std::lock_guard<std::mutex> lock;
  Occupied occupied;
  int timeoutMs() { return TimeoutMs(b.config[IbcTMO]); }
  bool ar488() const { return b.adapter->ar488(); }
};

void Done(int cnt = 0) { Finish(kBoardBase | CMPL, 0, cnt); }
void Refuse(int err) { Fail(kBoardBase, err); }

bool BufferOk(const void* buf, int count) { return (buf || !count) && count >= 0; }
bool EotOk(int eotMode) { return eotMode >= NULLend && eotMode <= DABend; }

// Sends a command that needs no device addressed; true when it went out.
bool BoardCommand(Board& b, const char* line) {
  return ReadyOrFail(b, kBoardBase) && StepOk(b, b.adapter->Command(line), kBoardBase);
}

// Sends the data of Send and SendList to one device.
bool SendTo(Board& b, uint16_t a, const void* buf, int count, int eotMode) {
  std::string data(static_cast<const char*>(buf), static_cast<size_t>(count));
  if (eotMode == NLend) data += '\n';
  int sta = WriteTo(b, kBoardBase, a & 0xFF, a >> 8, data.data(), static_cast<int>(data.size()),
                    eotMode != NULLend);
  return !(sta & ERR);
}

// A list routine that an empty list turns into one board command (an AR488
// only) and a list into one device command for each address.
void ToListed(int board, const uint16_t* list, const char* boardLine, const char* deviceLine) {
  HeldBoard c(board);
  if (!list) return Refuse(EARG);
  if (list[0] == NOADDR) {
    if (!c.ar488()) return Refuse(ECAP);
    if (BoardCommand(c.b, boardLine)) Done();
    return;
  }
  if (AnyInvalid(list)) return Refuse(ENOL);
  bool ok = true;
  ForList(list, [&](int, uint16_t a) {
    ok = ok && !(DeviceCommand(c.b, kBoardBase, a & 0xFF, a >> 8, deviceLine) & ERR);
  });
  if (ok) Done();
}

}  // namespace

int ParallelPoll(Board& b, int base) {
  if (!ReadyOrFail(b, base)) return -1;
  std::string answer;
  if (!StepOk(b, b.adapter->Ask("++ppoll", answer, 1000), base)) return -1;
  char* end = nullptr;
  long v = std::strtol(answer.c_str(), &end, 10);
  if (end == answer.c_str() || v < 0 || v > 255) return Fail(base, EDVR, EPROTO), -1;
  return static_cast<int>(v);
}

void Send(int board, uint16_t address, const void* buf, int count, int eotMode) {
  HeldBoard c(board);
  if (!BufferOk(buf, count) || !EotOk(eotMode)) return Refuse(EARG);
  if (!ValidAddress(address)) return Refuse(ENOL);
  if (SendTo(c.b, address, buf, count, eotMode)) Done(count + (eotMode == NLend ? 1 : 0));
}

void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode) {
  HeldBoard c(board);
  if (!list || !BufferOk(buf, count) || !EotOk(eotMode)) return Refuse(EARG);
  if (list[0] == NOADDR || AnyInvalid(list)) return Refuse(ENOL);
  bool ok = true;
  ForList(list, [&](int, uint16_t a) { ok = ok && SendTo(c.b, a, buf, count, eotMode); });
  if (ok) Done(count + (eotMode == NLend ? 1 : 0));
}

void Receive(int board, uint16_t address, void* buf, int count, int termination) {
  HeldBoard c(board);
  if (!BufferOk(buf, count) || termination < 0 || termination > STOPend) return Refuse(EARG);
  if (!ValidAddress(address)) return void(Fail(kBoardBase | TIMO, EABO));
  ReadFrom(c.b, kBoardBase, address & 0xFF, address >> 8, buf, count, termination != STOPend,
           termination & 0xFF, c.timeoutMs());
}

void DevClear(int board, uint16_t address) {
  HeldBoard c(board);
  if (address == NOADDR) {
    if (!c.ar488()) return Refuse(ECAP);
    if (BoardCommand(c.b, "++dcl")) Done();
    return;
  }
  if (!ValidAddress(address)) return Refuse(ENOL);
  DeviceCommand(c.b, kBoardBase, address & 0xFF, address >> 8, "++clr");
}

void DevClearList(int board, const uint16_t* list) { ToListed(board, list, "++dcl", "++clr"); }

void Trigger(int board, uint16_t address) {
  HeldBoard c(board);
  if (address == NOADDR) return Refuse(ECAP);
  if (!ValidAddress(address)) return Refuse(ENOL);
  DeviceCommand(c.b, kBoardBase, address & 0xFF, address >> 8, "++trg");
}

void TriggerList(int board, const uint16_t* list) {
  HeldBoard c(board);
  if (!list) return Refuse(EARG);
  if (list[0] == NOADDR) return Refuse(ECAP);
  if (AnyInvalid(list)) return Refuse(ENOL);
  // "++trg" names up to 15 devices itself, without changing "++addr".
  std::string line;
  int inLine = 0;
  bool ok = ReadyOrFail(c.b, kBoardBase);
  auto flush = [&] {
    if (ok && inLine) ok = StepOk(c.b, c.b.adapter->Command("++trg" + line), kBoardBase);
    line.clear();
    inLine = 0;
  };
  ForList(list, [&](int, uint16_t a) {
    line += " " + std::to_string(a & 0xFF);
    if (a >> 8) line += " " + std::to_string(a >> 8);
    if (++inLine == kTriggerBatch) flush();
  });
  flush();
  if (ok) Done();
}

void EnableLocal(int board, const uint16_t* list) { ToListed(board, list, "++ren 0", "++loc"); }

void EnableRemote(int board, const uint16_t* list) {
  HeldBoard c(board);
  if (!list) return Refuse(EARG);
  if (!c.ar488()) return Refuse(ECAP);
  if (AnyInvalid(list)) return Refuse(ENOL);
  if (BoardCommand(c.b, "++ren 1")) Done();
}

void SendLLO(int board) {
  HeldBoard c(board);
  if (BoardCommand(c.b, "++llo")) Done();
}

void SendIFC(int board) {
  HeldBoard c(board);
  if (BoardCommand(c.b, "++ifc")) Done();
}

void ReadStatusByte(int board, uint16_t address, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  if (!ValidAddress(address)) return void(Fail(kBoardBase | TIMO, EABO));
  int stb = SerialPoll(c.b, kBoardBase, address & 0xFF, address >> 8, c.timeoutMs());
  if (stb < 0) return;
  short v = static_cast<short>(stb);
  std::memcpy(result, &v, sizeof v);
  Done(1);
}

void AllSpoll(int board, const uint16_t* list, short* results) {
  HeldBoard c(board);
  if (!list || !results) return Refuse(EARG);
  int n = 0;
  bool failed = false;
  ForList(list, [&](int i, uint16_t a) {
    if (failed) return;
    int stb = ValidAddress(a) ? SerialPoll(c.b, kBoardBase, a & 0xFF, a >> 8, c.timeoutMs())
                              : (Fail(kBoardBase | TIMO, EABO), -1);
    if (stb < 0) return void(failed = true);
    results[i] = static_cast<short>(stb);
    n = i + 1;
  });
  if (failed) return void(Finish(LastStatus(), LastError(), n));
  Done(n);
}

void FindRQS(int board, const uint16_t* list, short* result) {
  HeldBoard c(board);
  if (!list || !result) return Refuse(EARG);
  int found = -1, idx = 0;
  bool failed = false;
  ForList(list, [&](int i, uint16_t a) {
    if (found >= 0 || failed) return;
    idx = i;
    int stb = ValidAddress(a) ? SerialPoll(c.b, kBoardBase, a & 0xFF, a >> 8, c.timeoutMs())
                              : (Fail(kBoardBase | TIMO, EABO), -1);
    if (stb < 0) return void(failed = true);
    if (stb & 0x40) {
      found = i;
      short v = static_cast<short>(stb);
      std::memcpy(result, &v, sizeof v);
    }
  });
  if (failed) return void(Finish(LastStatus(), LastError(), idx));
  if (found < 0) return void(Fail(kBoardBase, ETAB, list[0] == NOADDR ? 0 : idx + 1));
  Done(found);
}

void FindLstn(int board, const uint16_t* padList, uint16_t* results, int limit) {
  HeldBoard c(board);
  if (!padList || !results || limit < 0) return Refuse(EARG);
  if (!c.ar488()) return Refuse(ECAP);
  if (!ReadyOrFail(c.b, kBoardBase)) return;
  std::string answer;
  if (!StepOk(c.b, c.b.adapter->Ask("++findlstn", answer, 5000), kBoardBase)) return;
  // The answer lists the primary addresses that answered; firmware without
  // the command answers with words instead.
  for (char ch : answer)
    if (std::isalpha(static_cast<unsigned char>(ch))) return Refuse(ECAP);
  bool listens[31] = {};
  for (const char* p = answer.c_str(); *p;) {
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p) {
      ++p;
      continue;
    }
    if (v >= 0 && v <= 30) listens[v] = true;
    p = end;
  }
  int n = 0;
  bool overflow = false;
  ForList(padList, [&](int, uint16_t a) {
    int pad = a & 0xFF;
    if (pad > 30 || !listens[pad]) return;
    if (n < limit) results[n++] = static_cast<uint16_t>(pad);
    else overflow = true;
  });
  if (overflow) return void(Fail(kBoardBase, ETAB, n));
  Done(n);
}

void PPoll(int board, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  if (!c.ar488()) return Refuse(ECAP);
  int v = ParallelPoll(c.b, kBoardBase);
  if (v < 0) return;
  short s = static_cast<short>(v);
  std::memcpy(result, &s, sizeof s);
  Done(1);
}

void TestSRQ(int board, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  int srq = SrqLine(c.b, kBoardBase);
  if (srq < 0) return;
  short v = static_cast<short>(srq);
  std::memcpy(result, &v, sizeof v);
  Finish(kBoardBase | CMPL | (srq ? SRQI : 0), 0, 0);
}

void WaitSRQ(int board, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  int srq = WaitForSrq(c.b, kBoardBase, c.timeoutMs());
  if (srq < 0) return;
  short v = static_cast<short>(srq);
  std::memcpy(result, &v, sizeof v);
  Finish(kBoardBase | CMPL | (srq ? SRQI : TIMO), 0, 0);
}

}  // namespace vexon::prologix
