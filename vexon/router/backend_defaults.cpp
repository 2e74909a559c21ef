// The shared defaults of the back-end interface: a call a back end does not
// have and the router cannot build from the ones it has fails with ERR and
// ECAP (ibcntl 0).
#include "async_calls.h"
#include "backend.h"
#include "built_routines.h"
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
int NoBoardHandle(int, int) { return Fail(0, ECAP); }
int NoDevice(int, int, int, int, int, int, int) { return Fail(0, ECAP); }
int NoLink(int, int, const char*, int, int, int) { return Fail(0, ECAP); }
int Online(int, int) { return Finish(CMPL, 0, 0); }

}  // namespace

Backend CompleteBackend(Backend b) {
  const Backend given = b;
  if (!b.openBoard) b.openBoard = &OpenAnyBoard;
  if (!b.describeBoard) b.describeBoard = &NoSettings;
  if (!b.closeBoard) b.closeBoard = &CloseNothing;
  if (!b.openBoardHandle) b.openBoardHandle = &NoBoardHandle;
  if (!b.openDevice) b.openDevice = &NoDevice;
  if (!b.openLink) b.openLink = &NoLink;
  if (!b.ibonl) b.ibonl = &Online;
#define VEXON_FILL(name, params, args) \
  if (!b.name) b.name = DefaultOf<decltype(b.name)>::value;
  VEXON_HANDLE_CALLS(VEXON_FILL)
  VEXON_BOARD_ROUTINES(VEXON_FILL)
#undef VEXON_FILL
  BuildRoutines(given, b);
  BuildAsyncCalls(given, b);
  return b;
}

}  // namespace vexon
