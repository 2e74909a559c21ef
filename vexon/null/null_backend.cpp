// A back end that does nothing: every call succeeds at once with CMPL. The
// router benchmark measures the router's own cost against it; it is built
// into the benchmark only.
#include "../router/backend.h"
#include "../router/status.h"

namespace vexon {

namespace {

template <class... A>
int Done(int, A...) {
  return Finish(CMPL, 0, 0);
}

template <class... A>
void RoutineDone(int, A...) {
  Finish(CMPL, 0, 0);
}

template <class F>
struct DoneOf;
template <class... A>
struct DoneOf<int (*)(int, A...)> {
  static constexpr int (*value)(int, A...) = &Done<A...>;
};
template <class... A>
struct DoneOf<void (*)(int, A...)> {
  static constexpr void (*value)(int, A...) = &RoutineDone<A...>;
};

}  // namespace

Backend NullBackend() {
  Backend b;
  b.name = "null";
  b.openBoardHandle = &Done<int>;
  b.openDevice = &Done<int, int, int, int, int, int>;
  b.ibonl = &Done<int>;
#define VEXON_NULL_OPERATION(name, params, args) b.name = DoneOf<decltype(b.name)>::value;
  VEXON_HANDLE_CALLS(VEXON_NULL_OPERATION)
  VEXON_BOARD_ROUTINES(VEXON_NULL_OPERATION)
#undef VEXON_NULL_OPERATION
  return b;
}

}  // namespace vexon
