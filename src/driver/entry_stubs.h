// One entry stub per driver function: binds it on first use, calls it, and
// refreshes the status copies. Execute is the only caller.
#pragma once
#include "driver/gpib.h"

namespace stub {
// One number per driver function, in the order of VOREL_DRIVER_FUNCTIONS.
enum Id : int {
#define VOREL_STUB_ID(name, ret, params) id_##name,
  VOREL_DRIVER_FUNCTIONS(VOREL_STUB_ID)
#undef VOREL_STUB_ID
  functionCount
};

// The exported name of every driver function, indexed by Id.
extern const char* const functionNames[functionCount];

// The generic stub; its Call is defined once for all functions.
template <Id id, typename Signature>
struct Stub;
template <Id id, typename R, typename... A>
struct Stub<id, R(A...)> {
  static R Call(A... args);
};
// ibconfig has a path of its own for the EOS on the legacy library.
template <>
int Stub<id_ibconfig, int(int, int, int)>::Call(int ud, int option, int value);

// stub::ibrd(ud, buf, count) and so on, each with the driver's own arguments.
#define VOREL_DECLARE_STUB(name, ret, params) \
  inline constexpr auto& name = Stub<id_##name, ret params>::Call;
VOREL_DRIVER_FUNCTIONS(VOREL_DECLARE_STUB)
#undef VOREL_DECLARE_STUB
}  // namespace stub

// Asks the driver to stop the call that runs on the main thread (ibstop of
// its handle or board) when it is still running a moment later. For the
// thread that handles Ctrl-C; safe beside the running call.
void StopRunningDriverCall();

// Forgets every cached entry point (tests only).
void ResetEntryStubs();
