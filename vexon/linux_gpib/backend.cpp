// The back end "linux-gpib": a real board through libgpib.so.0. Every call
// passes to libgpib with the router's handle turned into libgpib's
// descriptor and the board index into the board's minor (libgpib's board
// index, which also serves as its board descriptor); the status words come
// back from the calling thread's own (ThreadIbsta, ThreadIberr,
// ThreadIbcntl). libgpib has no ibnotify, iblck or ibexpert: those keep the
// default, ECAP.
#include <atomic>
#include <climits>

#include "../router/backend.h"
#include "../router/handle_record.h"
#include "../router/router.h"
#include "../router/status.h"
#include "libgpib.h"

namespace vexon {

namespace linux_gpib {

namespace {

// The minor of each board of this back end, set when the board opens.
std::atomic<int> minors[kMaxBoards];
std::atomic<bool> opened[kMaxBoards];

// libgpib's descriptor behind each handle of this back end. A board handle
// (ibfind "gpibN") is the board's minor itself.
std::atomic<int> descriptors[kMaxHandles];

int Descriptor(int ud) { return descriptors[ud].load(std::memory_order_acquire); }
int Minor(int board) { return minors[board].load(std::memory_order_acquire); }

void Keep(int ud, int descriptor) { descriptors[ud].store(descriptor, std::memory_order_release); }
void Forget(int ud) { Keep(ud, -1); }

// The library is loaded once any board of this back end opened, which the
// router ensures before it forwards a call here.
const Libgpib& Lib() { return *LoadedLibgpib(); }

// libgpib counts in long; the ABI's count is an int.
int ClampCount(long n) {
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

int TakeStatus(const Libgpib& lib) {
  return Finish(lib.ThreadIbsta(), lib.ThreadIberr(), ClampCount(lib.ThreadIbcntl()));
}

// Configuration calls report the previous setting in iberr when they succeed.
int TakePreviousValue(const Libgpib& lib) {
  int sta = lib.ThreadIbsta();
  if (sta & ERR) return TakeStatus(lib);
  return FinishWithValue(sta, lib.ThreadIberr());
}

// ABI end modes (NULLend 0, NLend 1, DABend 2) to libgpib's (NULLend 0,
// DABend 1, NLend 2); any other value passes as it is, for libgpib to refuse.
int LibEndMode(int eotMode) {
  if (eotMode == NLend) return kLibNLend;
  if (eotMode == DABend) return kLibDABend;
  return eotMode;
}

// A handle call passed through: F is the ABI operation's type.
template <auto Member, class F, bool kPreviousValue = false>
struct HandleCall;
template <auto Member, bool kPreviousValue, class... A>
struct HandleCall<Member, int (*)(int, A...), kPreviousValue> {
  static int Call(int ud, A... args) {
    const Libgpib& lib = Lib();
    auto call = lib.*Member;
    if (!call) return Fail(0, ECAP);
    call(Descriptor(ud), args...);
    return kPreviousValue ? TakePreviousValue(lib) : TakeStatus(lib);
  }
};

// A 488.2 routine passed through on the board's descriptor.
template <auto Member, class F>
struct RoutineCall;
template <auto Member, class... A>
struct RoutineCall<Member, void (*)(int, A...)> {
  static void Call(int board, A... args) {
    const Libgpib& lib = Lib();
    auto call = lib.*Member;
    if (!call) {
      Fail(0, ECAP);
      return;
    }
    call(Minor(board), args...);
    TakeStatus(lib);
  }
};

bool OpenBoard(const BoardSettings& s) {
  if (!LoadLibgpib(s.index)) return false;
  minors[s.index].store(s.minor >= 0 ? s.minor : s.index, std::memory_order_release);
  opened[s.index].store(true, std::memory_order_release);
  return true;
}

// The minor is the board's descriptor; asking it for its address checks that
// libgpib has the board (ENEB when its driver is not loaded or configured).
int OpenBoardHandle(int ud, int board) {
  const Libgpib& lib = Lib();
  if (!lib.ibask) return Fail(0, ECAP);
  int pad = 0;
  lib.ibask(Minor(board), IbcPAD, &pad);
  int sta = TakeStatus(lib);
  if (!(sta & ERR)) Keep(ud, Minor(board));
  return sta;
}

// Keeps a descriptor libgpib opened for handle ud; a descriptor without
// status ERR is taken as libgpib's failure all the same.
int Opened(int ud, int descriptor, const Libgpib& lib) {
  int sta = TakeStatus(lib);
  if (descriptor < 0) return (sta & ERR) ? sta : Fail(sta, EDVR);
  Keep(ud, descriptor);
  return sta;
}

int OpenDevice(int ud, int board, int pad, int sad, int tmo, int eot, int eos) {
  const Libgpib& lib = Lib();
  if (!lib.ibdev) return Fail(0, ECAP);
  return Opened(ud, lib.ibdev(Minor(board), pad, sad, tmo, eot, eos), lib);
}

// A name of libgpib's configuration file (gpib.conf or the file IB_CONFIG
// names): a device or an interface. Those names are the library's, not a
// board's: the router asks the boards in order, and only the first asks
// libgpib.
int Find(int ud, int board, const char* name) {
  for (int lower = 0; lower < board; ++lower)
    if (opened[lower].load(std::memory_order_acquire)) return Fail(0, EDVR);
  const Libgpib& lib = Lib();
  if (!lib.ibfind) return Fail(0, ECAP);
  return Opened(ud, lib.ibfind(name), lib);
}

// Closing a board handle leaves libgpib's board alone: its descriptor is the
// minor, shared with every device on the board.
int Online(int ud, int v) {
  if (v == 0 && KindOf(ud).isBoard) {
    Forget(ud);
    return Finish(CMPL, 0, 0);
  }
  const Libgpib& lib = Lib();
  if (!lib.ibonl) return Fail(0, ECAP);
  lib.ibonl(Descriptor(ud), v);
  int sta = TakeStatus(lib);
  if (v == 0 && !(sta & ERR)) Forget(ud);
  return sta;
}

void Send(int board, uint16_t address, const void* buf, int count, int eotMode) {
  const Libgpib& lib = Lib();
  if (!lib.Send) return void(Fail(0, ECAP));
  lib.Send(Minor(board), address, buf, count, LibEndMode(eotMode));
  TakeStatus(lib);
}

void SendDataBytes(int board, const void* buf, int count, int eotMode) {
  const Libgpib& lib = Lib();
  if (!lib.SendDataBytes) return void(Fail(0, ECAP));
  lib.SendDataBytes(Minor(board), buf, count, LibEndMode(eotMode));
  TakeStatus(lib);
}

void SendList(int board, const uint16_t* list, const void* buf, int count, int eotMode) {
  const Libgpib& lib = Lib();
  if (!lib.SendList) return void(Fail(0, ECAP));
  lib.SendList(Minor(board), list, buf, count, LibEndMode(eotMode));
  TakeStatus(lib);
}

}  // namespace

}  // namespace linux_gpib

namespace linux_gpib {
void ReadBoardEntry(const YamlFile& file, const YAML::Node& node, BoardSettings& b);
std::string DescribeBoard(const BoardSettings& b);
}  // namespace linux_gpib

Backend LinuxGpibBackend() {
  using namespace linux_gpib;
  Backend b;
  b.name = "linux-gpib";
  b.readBoard = &ReadBoardEntry;
  b.describeBoard = &DescribeBoard;
  b.openBoard = &OpenBoard;
  b.openBoardHandle = &OpenBoardHandle;
  b.openDevice = &OpenDevice;
  b.find = &Find;
  b.ibonl = &Online;
#define LINUX_GPIB_HANDLE(name, symbol, params) \
  b.name = &HandleCall<&Libgpib::name, decltype(b.name)>::Call;
#define LINUX_GPIB_ROUTINE(name, symbol, params) \
  b.name = &RoutineCall<&Libgpib::name, decltype(b.name)>::Call;
  LIBGPIB_HANDLE_CALLS(LINUX_GPIB_HANDLE)
  LIBGPIB_ROUTINES(LINUX_GPIB_ROUTINE)
#undef LINUX_GPIB_HANDLE
#undef LINUX_GPIB_ROUTINE
  b.ibconfig = &HandleCall<&Libgpib::ibconfig, decltype(b.ibconfig), true>::Call;
  b.ibeos = &HandleCall<&Libgpib::ibeos, decltype(b.ibeos), true>::Call;
  b.ibppc = &HandleCall<&Libgpib::ibppc, decltype(b.ibppc), true>::Call;
  b.Send = &Send;
  b.SendDataBytes = &SendDataBytes;
  b.SendList = &SendList;
  return b;
}

}  // namespace vexon
