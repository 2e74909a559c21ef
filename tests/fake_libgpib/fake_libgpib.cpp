// A stand-in for linux-gpib's libgpib.so.0, written from its documented
// declarations, for the tests of the linux-gpib back end. Every call is
// printed on stderr as "libgpib: NAME(ARGUMENTS)" with the arguments as it
// received them (counts are long here, end modes in libgpib's numbering),
// and the last such line is kept for fake_libgpib_last_call().
//
// The bus behind it: boards (minors) 0 and 1, each with primary address 0.
// On board 0, pad 9 is a meter ("*IDN?" answers "ACME,FAKE-DMM,0,1.0\n",
// "READ?" answers "+1.250E+00\n") and pad 13 an instrument whose reads fail
// with EDVR and ibcntl 5 (EIO). Writes to any other address fail with ENOL;
// a write of "BIG" reports 5000000000 bytes sent. The gpib.conf names are
// "voltmeter" (board 0, pad 9) and "violet" (the interface of minor 0).
// ibconfig and ibeos give the previous setting in iberr; ibask a device's pad
// and the settings it was opened or configured with.
// Built with FAKE_LIBGPIB_OLD it lacks TriggerList and ibwrtf; with
// FAKE_LIBGPIB_NO_THREAD_STATUS it lacks ThreadIbcntl.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#define FAKE_API extern "C" __attribute__((visibility("default")))

typedef std::uint16_t Addr4882_t;

namespace {

enum : int { ERR = 0x8000, TIMO = 0x4000, END = 0x2000, CMPL = 0x100, CIC = 0x20, ATN = 0x10 };
enum : int { EDVR = 0, ENOL = 2, EARG = 4, EABO = 6, ENEB = 7, ETAB = 20 };
constexpr Addr4882_t NOADDR = 0xFFFF;
constexpr int kFirstDevice = 16;

thread_local int sta = 0, err = 0;
thread_local long cntl = 0;

std::mutex mutex;  // the bus and the descriptors
std::string lastCall;

struct Descriptor {
  int board = 0, pad = 0, sad = 0;
};
std::map<int, Descriptor> devices;
std::map<int, std::map<int, int>> settings;  // descriptor -> ibconfig option -> value
int nextDevice = kFirstDevice;
std::map<int, std::string> pending;  // pad -> response waiting to be read (board 0)

bool BoardExists(int minor) { return minor == 0 || minor == 1; }

void Log(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  lastCall = line;
  std::fflush(stdout);  // the log shows where the call happened
  std::fprintf(stderr, "libgpib: %s\n", line);
}

std::string Bytes(const void* data, long count) {
  std::string out = "\"";
  const auto* p = static_cast<const unsigned char*>(data);
  for (long i = 0; p && i < count && i < 64; ++i) {
    char c[8];
    if (p[i] == '\n') out += "\\n";
    else if (p[i] == '"' || p[i] == '\\') out += std::string("\\") + char(p[i]);
    else if (p[i] < 0x20 || p[i] > 0x7E) std::snprintf(c, sizeof c, "\\x%02x", p[i]), out += c;
    else out += char(p[i]);
  }
  return out + (count > 64 ? "\"..." : "\"");
}

std::string List(const Addr4882_t* list) {
  if (!list) return "null";
  std::string out = "[";
  for (int i = 0; i < 32; ++i) {
    char item[16];
    if (list[i] == NOADDR) return out + "NOADDR]";
    std::snprintf(item, sizeof item, "0x%04x ", list[i]);
    out += item;
  }
  return out + "...]";
}

const char* EndMode(int mode) {
  static const char* const kNames[] = {"NULLend", "DABend", "NLend"};
  return mode >= 0 && mode <= 2 ? kNames[mode] : "?";
}

int Done(int s, long count = 0) {
  sta = s;
  cntl = count;
  return sta;
}
int Failed(int e, long count = 0) {
  err = e;
  return Done(ERR, count);
}

// The board and pad a descriptor reaches; false (ENEB or EARG) when none.
bool Reach(int ud, int& board, int& pad) {
  if (ud >= 0 && ud < kFirstDevice) {
    if (!BoardExists(ud)) return Failed(ENEB), false;
    board = ud, pad = -1;
    return true;
  }
  auto d = devices.find(ud);
  if (d == devices.end()) return Failed(EARG), false;
  board = d->second.board, pad = d->second.pad;
  return true;
}

// Data for the instrument at pad on board 0.
int Listen(int board, int pad, const void* data, long count) {
  if (board != 0 || (pad != 9 && pad != 13)) return Failed(ENOL);
  std::string text(static_cast<const char*>(data), count > 0 ? count : 0);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text == "BIG") return Done(CMPL, 5000000000L);
  if (pad == 9 && text == "*IDN?") pending[pad] = "ACME,FAKE-DMM,0,1.0\n";
  if (pad == 9 && text == "READ?") pending[pad] = "+1.250E+00\n";
  return Done(CMPL, count);
}

int Talk(int board, int pad, void* buffer, long count) {
  if (board != 0 || (pad != 9 && pad != 13)) return Failed(ENOL);
  if (pad == 13) return Failed(EDVR, 5);
  std::string& out = pending[pad];
  if (out.empty()) {
    err = EABO;
    return Done(ERR | TIMO);
  }
  long n = count < static_cast<long>(out.size()) ? count : static_cast<long>(out.size());
  std::memcpy(buffer, out.data(), n);
  out.erase(0, n);
  return Done(CMPL | (out.empty() ? END : 0), n);
}

__attribute__((constructor)) void Loaded() {
  const char* quiet = std::getenv("IB_NO_ERROR");
  std::fflush(stdout);
  std::fprintf(stderr, "libgpib: loaded, IB_NO_ERROR %s%s\n", quiet ? "= " : "unset",
               quiet ? quiet : "");
}

}  // namespace

FAKE_API const char* fake_libgpib_last_call(void) { return lastCall.c_str(); }

FAKE_API int ThreadIbsta(void) { return sta; }
FAKE_API int ThreadIberr(void) { return err; }
FAKE_API int ThreadIbcnt(void) { return static_cast<int>(cntl); }
#ifndef FAKE_LIBGPIB_NO_THREAD_STATUS
FAKE_API long ThreadIbcntl(void) { return cntl; }
#endif

FAKE_API int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  std::lock_guard l(mutex);
  Log("ibdev(%d, %d, 0x%x, %d, %d, 0x%x)", board, pad, sad, tmo, eot, eos);
  if (!BoardExists(board)) return Failed(ENEB), -1;
  if (pad < 0 || pad > 30) return Failed(EARG), -1;
  int ud = nextDevice++;
  devices[ud] = {board, pad, sad};
  settings[ud] = {{3, tmo}, {4, eot}, {0x25, eos}};
  Done(CMPL);
  return ud;
}

FAKE_API int ibfind(const char* name) {
  std::lock_guard l(mutex);
  Log("ibfind(\"%s\")", name);
  if (std::strcmp(name, "violet") == 0) return Done(CMPL), 0;
  if (std::strcmp(name, "voltmeter") == 0) {
    int ud = nextDevice++;
    devices[ud] = {0, 9, 0};
    settings[ud] = {{3, 11}, {4, 1}, {0x25, 0}};
    Done(CMPL);
    return ud;
  }
  // libgpib's own complaint, which IB_NO_ERROR silences.
  if (!std::getenv("IB_NO_ERROR")) std::fprintf(stderr, "libgpib: ibfind failed to get descriptor\n");
  return Failed(EDVR, 2), -1;
}

FAKE_API int ibonl(int ud, int online) {
  std::lock_guard l(mutex);
  Log("ibonl(%d, %d)", ud, online);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  if (online == 0 && pad >= 0) devices.erase(ud);
  return Done(CMPL);
}

FAKE_API int ibask(int ud, int option, int* value) {
  std::lock_guard l(mutex);
  Log("ibask(%d, 0x%x)", ud, option);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  auto set = settings.find(ud);
  const bool known = pad >= 0 && set != settings.end() && set->second.count(option);
  *value = option == 1 ? (pad < 0 ? 0 : pad) : known ? set->second[option] : 0;
  return Done(CMPL);
}

FAKE_API int ibconfig(int ud, int option, int setting) {
  std::lock_guard l(mutex);
  Log("ibconfig(%d, 0x%x, %d)", ud, option, setting);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  int& value = settings[ud][option];
  err = value;  // the previous setting
  value = setting;
  return Done(CMPL);
}

FAKE_API int ibeos(int ud, int eosmode) {
  std::lock_guard l(mutex);
  Log("ibeos(%d, 0x%x)", ud, eosmode);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  int& value = settings[ud][0x25];
  err = value;
  value = eosmode;
  return Done(CMPL);
}

FAKE_API int ibwrt(int ud, const void* data, long count) {
  std::lock_guard l(mutex);
  Log("ibwrt(%d, %s, %ld)", ud, Bytes(data, count).c_str(), count);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  return Listen(board, pad, data, count);
}

FAKE_API int ibrd(int ud, void* buffer, long count) {
  std::lock_guard l(mutex);
  Log("ibrd(%d, %ld)", ud, count);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  return Talk(board, pad, buffer, count);
}

FAKE_API int ibrsp(int ud, char* result) {
  std::lock_guard l(mutex);
  Log("ibrsp(%d)", ud);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  *result = static_cast<char>(board == 0 && !pending[pad].empty() ? 0x50 : 0x00);
  return Done(CMPL);
}

// The calls whose arguments are all the fake cares about.
#define FAKE_SIMPLE(name, params, format, ...) \
  FAKE_API int name params {                   \
    std::lock_guard l(mutex);                  \
    Log(#name "(" format ")", __VA_ARGS__);    \
    int board, pad;                            \
    if (!Reach(ud, board, pad)) return sta;    \
    return Done(CMPL);                         \
  }
FAKE_SIMPLE(ibcac, (int ud, int synchronous), "%d, %d", ud, synchronous)
FAKE_SIMPLE(ibclr, (int ud), "%d", ud)
FAKE_SIMPLE(ibgts, (int ud, int shadow), "%d, %d", ud, shadow)
FAKE_SIMPLE(ibloc, (int ud), "%d", ud)
FAKE_SIMPLE(ibpct, (int ud), "%d", ud)
FAKE_SIMPLE(ibppc, (int ud, int configuration), "%d, 0x%x", ud, configuration)
FAKE_SIMPLE(ibrdf, (int ud, const char* path), "%d, \"%s\"", ud, path)
FAKE_SIMPLE(ibsic, (int ud), "%d", ud)
FAKE_SIMPLE(ibstop, (int ud), "%d", ud)
FAKE_SIMPLE(ibtrg, (int ud), "%d", ud)
FAKE_SIMPLE(ibwait, (int ud, int mask), "%d, 0x%x", ud, mask)
#ifndef FAKE_LIBGPIB_OLD
FAKE_SIMPLE(ibwrtf, (int ud, const char* path), "%d, \"%s\"", ud, path)
#endif

#define FAKE_TRANSFER(name, type, log)                          \
  FAKE_API int name(int ud, type data, long count) {            \
    std::lock_guard l(mutex);                                   \
    (void)data;                                                 \
    Log(#name "(%d, %s, %ld)", ud, log.c_str(), count);         \
    int board, pad;                                             \
    if (!Reach(ud, board, pad)) return sta;                     \
    return Done(CMPL, count);                                   \
  }
FAKE_TRANSFER(ibcmd, const void*, Bytes(data, count))
FAKE_TRANSFER(ibcmda, const void*, Bytes(data, count))
FAKE_TRANSFER(ibwrta, const void*, Bytes(data, count))
FAKE_TRANSFER(ibrda, void*, std::string("buffer"))

FAKE_API int iblines(int ud, short* lines) {
  std::lock_guard l(mutex);
  Log("iblines(%d)", ud);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  *lines = static_cast<short>(0xFF00);  // every line monitored, none asserted
  return Done(CMPL);
}

FAKE_API int ibln(int ud, int pad, int sad, short* found) {
  std::lock_guard l(mutex);
  Log("ibln(%d, %d, 0x%x)", ud, pad, sad);
  int board, p;
  if (!Reach(ud, board, p)) return sta;
  *found = board == 0 && (pad == 9 || pad == 13);
  return Done(CMPL);
}

FAKE_API int ibrpp(int ud, char* result) {
  std::lock_guard l(mutex);
  Log("ibrpp(%d)", ud);
  int board, pad;
  if (!Reach(ud, board, pad)) return sta;
  *result = 0x04;
  return Done(CMPL);
}

// 488.2 routines: board is a board descriptor (a minor).
#define FAKE_ROUTINE_START(name, format, ...) \
  std::lock_guard l(mutex);                   \
  Log(#name "(%d" format ")", board, __VA_ARGS__); \
  if (!BoardExists(board)) return void(Failed(ENEB))

#define FAKE_ROUTINE(name, params, format, ...)            \
  FAKE_API void name params {                              \
    FAKE_ROUTINE_START(name, format, __VA_ARGS__);         \
    Done(CMPL);                                            \
  }
FAKE_ROUTINE(DevClear, (int board, Addr4882_t address), ", 0x%04x", address)
FAKE_ROUTINE(DevClearList, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(EnableLocal, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(EnableRemote, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(PPollConfig, (int board, Addr4882_t address, int line, int sense),
             ", 0x%04x, %d, %d", address, line, sense)
FAKE_ROUTINE(PPollUnconfig, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(PassControl, (int board, Addr4882_t address), ", 0x%04x", address)
FAKE_ROUTINE(ReceiveSetup, (int board, Addr4882_t address), ", 0x%04x", address)
FAKE_ROUTINE(ResetSys, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(SendIFC, (int board), "%s", "")
FAKE_ROUTINE(SendLLO, (int board), "%s", "")
FAKE_ROUTINE(SendSetup, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(SetRWLS, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
FAKE_ROUTINE(Trigger, (int board, Addr4882_t address), ", 0x%04x", address)
#ifndef FAKE_LIBGPIB_OLD
FAKE_ROUTINE(TriggerList, (int board, const Addr4882_t* list), ", %s", List(list).c_str())
#endif

FAKE_API void SendCmds(int board, const void* commands, long count) {
  FAKE_ROUTINE_START(SendCmds, ", %s, %ld", Bytes(commands, count).c_str(), count);
  Done(CMPL, count);
}

FAKE_API void SendDataBytes(int board, const void* data, long count, int mode) {
  FAKE_ROUTINE_START(SendDataBytes, ", %s, %ld, %s", Bytes(data, count).c_str(), count,
                     EndMode(mode));
  Done(CMPL, count);
}

FAKE_API void Send(int board, Addr4882_t address, const void* data, long count, int mode) {
  FAKE_ROUTINE_START(Send, ", 0x%04x, %s, %ld, %s", address, Bytes(data, count).c_str(), count,
                     EndMode(mode));
  Listen(board, address & 0xFF, data, count);
}

FAKE_API void SendList(int board, const Addr4882_t* list, const void* data, long count,
                       int mode) {
  FAKE_ROUTINE_START(SendList, ", %s, %s, %ld, %s", List(list).c_str(),
                     Bytes(data, count).c_str(), count, EndMode(mode));
  Done(CMPL, count);
}

FAKE_API void Receive(int board, Addr4882_t address, void* buffer, long count, int termination) {
  FAKE_ROUTINE_START(Receive, ", 0x%04x, %ld, 0x%x", address, count, termination);
  Talk(board, address & 0xFF, buffer, count);
}

FAKE_API void RcvRespMsg(int board, void* buffer, long count, int termination) {
  FAKE_ROUTINE_START(RcvRespMsg, ", %ld, 0x%x", count, termination);
  (void)buffer;
  Done(CMPL, 0);
}

FAKE_API void ReadStatusByte(int board, Addr4882_t address, short* result) {
  FAKE_ROUTINE_START(ReadStatusByte, ", 0x%04x", address);
  *result = static_cast<short>(board == 0 && !pending[address & 0xFF].empty() ? 0x50 : 0);
  Done(CMPL);
}

// The instruments of board 0 among pads; ETAB when more than limit answer.
FAKE_API void FindLstn(int board, const Addr4882_t* pads, Addr4882_t* results, int limit) {
  FAKE_ROUTINE_START(FindLstn, ", %s, %d", List(pads).c_str(), limit);
  int found = 0;
  for (int i = 0; pads[i] != NOADDR; ++i)
    if (board == 0 && (pads[i] == 9 || pads[i] == 13)) {
      if (found == limit) return void(Failed(ETAB, found));
      results[found++] = pads[i];
    }
  Done(CMPL, found);
}

FAKE_API void AllSPoll(int board, const Addr4882_t* list, short* results) {
  FAKE_ROUTINE_START(AllSPoll, ", %s", List(list).c_str());
  for (int i = 0; list[i] != NOADDR; ++i)
    results[i] = static_cast<short>(board == 0 && !pending[list[i] & 0xFF].empty() ? 0x50 : 0);
  Done(CMPL);
}

FAKE_API void FindRQS(int board, const Addr4882_t* list, short* status) {
  FAKE_ROUTINE_START(FindRQS, ", %s", List(list).c_str());
  *status = 0;
  Done(CMPL);
}

FAKE_API void TestSys(int board, const Addr4882_t* list, short* results) {
  FAKE_ROUTINE_START(TestSys, ", %s", List(list).c_str());
  for (int i = 0; list[i] != NOADDR; ++i) results[i] = 0;
  Done(CMPL);
}

FAKE_API void PPoll(int board, short* result) {
  FAKE_ROUTINE_START(PPoll, "%s", "");
  *result = 0x04;
  Done(CMPL);
}

FAKE_API void TestSRQ(int board, short* result) {
  FAKE_ROUTINE_START(TestSRQ, "%s", "");
  *result = 0;
  Done(CMPL);
}

FAKE_API void WaitSRQ(int board, short* result) {
  FAKE_ROUTINE_START(WaitSRQ, "%s", "");
  *result = 0;
  Done(CMPL | TIMO);
}
