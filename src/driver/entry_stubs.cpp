// The entry stubs: one generic stub instantiated for every driver function.
#include "driver/entry_stubs.h"

#include <type_traits>

#include "driver/library_loader.h"
#include "driver/status_copies.h"

namespace stub {
const char* const functionNames[functionCount] = {
#define VOREL_STUB_NAME(name, ret, params) #name,
    VOREL_DRIVER_FUNCTIONS(VOREL_STUB_NAME)
#undef VOREL_STUB_NAME
};
}  // namespace stub

namespace {
// Cached entry points, empty until the loader finds the function.
void* entries[stub::functionCount] = {};
// The ibconfig stub's own entry point for ibeos (legacy library, option 37).
void* ibconfigEosEntry = nullptr;

// The functions that hand back a handle fail with -1, the rest with ibsta.
bool FailsWithMinusOne(stub::Id id) {
  return id == stub::id_ibdev || id == stub::id_ibexpert || id == stub::id_ibfindA;
}

// Binds through cache (only a found address is kept), calls, and refreshes
// the status copies. On a binding failure the function is not called.
template <typename R, typename... A>
R CallEntry(void*& cache, stub::Id id, A... args) {
  if (cache == nullptr) cache = LoadDriverEntry(stub::functionNames[id]);
  if (cache == nullptr) {
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      return FailsWithMinusOne(id) ? -1 : ibsta;
    }
  }
  auto function = reinterpret_cast<R (*)(A...)>(cache);
  if constexpr (std::is_void_v<R>) {
    function(args...);
    RefreshStatusCopies();
  } else {
    R result = function(args...);
    RefreshStatusCopies();
    return result;
  }
}
}  // namespace

namespace stub {
template <Id id, typename R, typename... A>
R Stub<id, R(A...)>::Call(A... args) {
  return CallEntry<R, A...>(entries[id], id, args...);
}

// The legacy library sets the EOS through ibeos rather than ibconfig option 37.
// The mode is read at the moment of the call, so before the first load it is 0.
template <>
int Stub<id_ibconfig, int(int, int, int)>::Call(int ud, int option, int value) {
  if (option == IbcEOS && libraryMode == 1) {
    return CallEntry<int, int, int>(ibconfigEosEntry, id_ibeos, ud, value);
  }
  return CallEntry<int, int, int, int>(entries[id_ibconfig], id_ibconfig, ud, option, value);
}

#define VOREL_INSTANTIATE_STUB(name, ret, params) template struct Stub<id_##name, ret params>;
VOREL_DRIVER_FUNCTIONS(VOREL_INSTANTIATE_STUB)
#undef VOREL_INSTANTIATE_STUB
}  // namespace stub

void ResetEntryStubs() {
  for (void*& entry : entries) entry = nullptr;
  ibconfigEosEntry = nullptr;
}
