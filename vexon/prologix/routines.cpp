// The IEEE 488.2 routines that reduce to what the adapters do: data to and
// from one device at a time, device clear, trigger, serial poll, the SRQ
// line and IFC. An AR488 adds DCL, REN, parallel poll and FindLstn.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "calls.h"
#include "transfers.h"

namespace vexon::prologix {

namespace {

// Addresses one "++trg" line may name.
constexpr int kTriggerBatch = 15;
// How long an AR488 may take to try every address for listeners.
constexpr int kFindListenersMs = 10000;

struct HeldBoard {
  explicit HeldBoard(int board) : board(board), b(BoardAt(board)), lock(b.lock), occupied(b, -1) {}
  int board;
  Board& b;
  std::lock_guard<std::mutex> lock;
  Occupied occupied;
  int timeoutMs() const { return TimeoutMs(OptionOf(board, IbcTMO)); }
  bool ar488() const { return b.adapter->ar488(); }
};

void Done(int cnt = 0) { Finish(kBoardBase | CMPL, 0, cnt); }
void Refuse(int err) { Fail(kBoardBase, err); }

bool BufferOk(const void* buf, int count) { return (buf || !count) && count >= 0; }
bool EotOk(int eotMode) { return eotMode >= NULLend && eotMode <= DABend; }

// Sends the data of Send and SendList to one device.
bool SendTo(Board& b, uint16_t a, const void* buf, int count, int eotMode, int timeoutMs) {
  std::string data(static_cast<const char*>(buf), static_cast<size_t>(count));
  if (eotMode == NLend) data += '\n';
  int sta = WriteTo(b, kBoardBase, a & 0xFF, a >> 8, data.data(), static_cast<int>(data.size()),
                    eotMode != NULLend, timeoutMs);
  return !(sta & ERR);
}

// A list routine that an empty list turns into one board command (an AR488
// only) and a list into one device command for each address.
void ToListed(int board, const uint16_t* list, const char* boardLine, const char* deviceLine) {
  HeldBoard c(board);
  if (!list) return Refuse(EARG);
  if (list[0] == NOADDR) {
    if (!c.ar488()) return Refuse(ECAP);
    if (BoardCommand(c.b, kBoardBase, boardLine, c.timeoutMs())) Done();
    return;
  }
  if (AnyInvalid(list)) return Refuse(ENOL);
  bool ok = true;
  ForList(list, [&](int, uint16_t a) {
    ok = ok && !(DeviceCommand(c.b, kBoardBase, a & 0xFF, a >> 8, deviceLine, c.timeoutMs()) & ERR);
  });
  if (ok) Done();
}

}  // namespace

int ParallelPoll(Board& b, int base, int timeoutMs) {
  if (!ReadyOrFail(b, base, timeoutMs)) return -1;
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
  if (SendTo(c.b, address, buf, count, eotMode, c.timeoutMs())) Done(count + (eotMode == NLend ? 1 : 0));
}

void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode) {
  HeldBoard c(board);
  if (!list || !BufferOk(buf, count) || !EotOk(eotMode)) return Refuse(EARG);
  if (list[0] == NOADDR || AnyInvalid(list)) return Refuse(ENOL);
  bool ok = true;
  ForList(list, [&](int, uint16_t a) { ok = ok && SendTo(c.b, a, buf, count, eotMode, c.timeoutMs()); });
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
    if (BoardCommand(c.b, kBoardBase, "++dcl", c.timeoutMs())) Done();
    return;
  }
  if (!ValidAddress(address)) return Refuse(ENOL);
  DeviceCommand(c.b, kBoardBase, address & 0xFF, address >> 8, "++clr", c.timeoutMs());
}

void Trigger(int board, uint16_t address) {
  HeldBoard c(board);
  if (address == NOADDR) return Refuse(ECAP);
  if (!ValidAddress(address)) return Refuse(ENOL);
  DeviceCommand(c.b, kBoardBase, address & 0xFF, address >> 8, "++trg", c.timeoutMs());
}

void TriggerList(int board, const uint16_t* list) {
  HeldBoard c(board);
  if (!list) return Refuse(EARG);
  if (list[0] == NOADDR) return Refuse(ECAP);
  if (AnyInvalid(list)) return Refuse(ENOL);
  // "++trg" names up to 15 devices itself, without changing "++addr". An
  // AR488 takes primary addresses 1 to 30 there only: any other device is
  // addressed and triggered on its own.
  std::string line;
  int inLine = 0;
  bool ok = ReadyOrFail(c.b, kBoardBase, c.timeoutMs());
  auto flush = [&] {
    if (ok && inLine) ok = StepOk(c.b, c.b.adapter->Checked("++trg" + line), kBoardBase);
    line.clear();
    inLine = 0;
  };
  ForList(list, [&](int, uint16_t a) {
    const int pad = a & 0xFF, sad = a >> 8;
    if (c.ar488() && (sad || pad == 0)) {
      ok = ok && StepOk(c.b, c.b.adapter->Address(pad, sad), kBoardBase) &&
           StepOk(c.b, c.b.adapter->Checked("++trg"), kBoardBase);
      return;
    }
    line.append(" ").append(std::to_string(pad));
    if (sad) line.append(" ").append(std::to_string(sad));
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
  // REN is all the adapter offers: it has no command that addresses a
  // listener without sending it data, so the devices go remote when next
  // addressed.
  if (BoardCommand(c.b, kBoardBase, "++ren 1", c.timeoutMs())) Done();
}

void SendLLO(int board) {
  HeldBoard c(board);
  // A bare "++llo" locks only the addressed device on an AR488; "all" is LLO
  // to every device, as SendLLO means.
  if (BoardCommand(c.b, kBoardBase, c.ar488() ? "++llo all" : "++llo", c.timeoutMs())) Done();
}

void SendIFC(int board) {
  HeldBoard c(board);
  if (BoardCommand(c.b, kBoardBase, "++ifc", c.timeoutMs())) Done();
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

void FindLstn(int board, const uint16_t* padList, uint16_t* results, int limit) {
  HeldBoard c(board);
  if (!padList || !results || limit < 0) return Refuse(EARG);
  if (!c.ar488()) return Refuse(ECAP);
  // The adapter tries every address in turn, whatever the board's timeout.
  const int t = c.timeoutMs();
  if (!ReadyOrFail(c.b, kBoardBase, t < 0 ? t : std::max(t, kFindListenersMs))) return;
  // "++fndl all" lists the listeners, "PAD" or "PAD:SAD", separated by
  // commas; firmware without it answers "Unrecognized command" (ECAP).
  std::string answer;
  if (!StepOk(c.b, c.b.adapter->Ask("++fndl all", answer, kFindListenersMs), kBoardBase)) return;
  std::vector<uint16_t> found;
  for (const char* p = answer.c_str(); *p;) {
    char* end = nullptr;
    long pad = std::strtol(p, &end, 10), sad = 0;
    if (end == p) {
      ++p;
      continue;
    }
    p = end;
    if (*p == ':') {
      sad = std::strtol(p + 1, &end, 10);
      p = end;
      if (sad >= 0 && sad <= 30) sad += 0x60;  // written either way
    }
    if (pad >= 0 && pad <= 30 && (sad == 0 || (sad >= 0x60 && sad <= 0x7E)))
      found.push_back(static_cast<uint16_t>(pad | sad << 8));
  }
  int n = 0;
  bool overflow = false;
  ForList(padList, [&](int, uint16_t a) {
    const int pad = a & 0xFF;
    for (uint16_t f : found) {
      if ((f & 0xFF) != pad) continue;
      if (n < limit) results[n++] = f;
      else overflow = true;
    }
  });
  if (overflow) return void(Fail(kBoardBase, ETAB, n));
  Done(n);
}

void PPoll(int board, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  if (!c.ar488()) return Refuse(ECAP);
  int v = ParallelPoll(c.b, kBoardBase, c.timeoutMs());
  if (v < 0) return;
  short s = static_cast<short>(v);
  std::memcpy(result, &s, sizeof s);
  Done(1);
}

void TestSRQ(int board, short* result) {
  HeldBoard c(board);
  if (!result) return Refuse(EARG);
  int srq = SrqLine(c.b, kBoardBase, c.timeoutMs());
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
