// The shared defaults of the back-end interface: a call a back end does not
// have and the router cannot build from the ones it has fails with ERR and
// ECAP (ibcntl 0).
#include "async_calls.h"
#include "backend.h"
#include "built_routines.h"
#include "file_transfers.h"
#include "option_calls.h"
#include "status.h"

namespace vexon {

namespace {

template <class... A>
int NoHandleCall(int, A...) {
  return Fail(0, ECAP);
}

template <class... A>
void NoRoutine(int, A...) {
  Fail(0, ECAP);
}

// Unwraps a parameter list into the default of that shape.
template <class F>
struct DefaultOf;
template <class... A>
struct DefaultOf<int (*)(int, A...)> {
  static constexpr int (*value)(int, A...) = &NoHandleCall<A...>;
};
template <class... A>
struct DefaultOf<void (*)(int, A...)> {
  static constexpr void (*value)(int, A...) = &NoRoutine<A...>;
};

bool OpenAnyBoard(const BoardSettings&) { return true; }
std::string NoSettings(const BoardSettings&) { return ""; }
void CloseNothing(int) {}
int NoLink(int, int, const char*, int, int, int) { return Fail(0, ECAP); }
// Opening and closing: the router's record is all a handle needs.
int Opened(int ud) { return Finish(DefaultBaseStatus(ud) | CMPL, 0, 0); }
int BoardHandleOpened(int ud, int) { return Opened(ud); }
int DeviceOpened(int ud, int, int, int, int, int, int) { return Opened(ud); }
int Online(int ud, int) { return Opened(ud); }

}  // namespace

Backend CompleteBackend(Backend b) {
  const Backend given = b;
  if (!b.openBoard) b.openBoard = &OpenAnyBoard;
  if (!b.describeBoard) b.describeBoard = &NoSettings;
  if (!b.closeBoard) b.closeBoard = &CloseNothing;
  if (!b.openBoardHandle) b.openBoardHandle = &BoardHandleOpened;
  if (!b.openDevice) b.openDevice = &DeviceOpened;
  if (!b.openLink) b.openLink = &NoLink;
  if (!b.ibonl) b.ibonl = &Online;
  if (!b.baseStatus) b.baseStatus = &DefaultBaseStatus;
  if (!b.ibask) b.ibask = &AskOption;
  if (!b.ibconfig) b.ibconfig = &ConfigureOption;
  if (!b.ibeos) b.ibeos = &SetEos;
#define VEXON_FILL(name, params, args) \
  if (!b.name) b.name = DefaultOf<decltype(b.name)>::value;
  VEXON_HANDLE_CALLS(VEXON_FILL)
  VEXON_BOARD_ROUTINES(VEXON_FILL)
#undef VEXON_FILL
  BuildFileTransfers(given, b);
  BuildRoutines(given, b);
  BuildAsyncCalls(given, b);
  return b;
}

}  // namespace vexon
