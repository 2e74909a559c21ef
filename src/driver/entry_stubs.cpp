// The entry stubs: one generic stub instantiated for every driver function.
#include "driver/entry_stubs.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>
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

// The call running on the main thread, for StopRunningDriverCall on the
// interrupt's thread: its handle or board (-1 when none runs), a number that
// changes at every start and end of a call, and the driver's ibstop.
std::atomic<int> runningTarget{-1};
std::atomic<unsigned> callChanges{0};
std::atomic<void*> stopEntry{nullptr};
bool stopLookedUp = false;

template <typename... A>
int TargetOf(A... args) {
  if constexpr (sizeof...(A) == 0) {
    return -1;
  } else {
    using First = std::tuple_element_t<0, std::tuple<A...>>;
    if constexpr (std::is_same_v<First, int>) {
      return std::get<0>(std::tuple<A...>(args...));
    } else {
      return -1;
    }
  }
}

// Marks the call running from construction to destruction.
struct RunningCall {
  explicit RunningCall(int target) {
    if (!stopLookedUp) {
      stopEntry.store(FindLoadedEntry("ibstop"));
      stopLookedUp = true;
    }
    runningTarget.store(target);
    callChanges.fetch_add(1);
  }
  ~RunningCall() {
    runningTarget.store(-1);
    callChanges.fetch_add(1);
  }
};

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
  RunningCall running(id == stub::id_ibdev ? -1 : TargetOf(args...));
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

void StopRunningDriverCall() {
  const unsigned changes = callChanges.load();
  const int target = runningTarget.load();
  if (target < 0) return;
  // A call that ends by itself within a moment is left alone: an ibstop
  // racing its end would leave its own status in the driver's words.
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (callChanges.load() != changes) return;
  }
  if (void* stop = stopEntry.load()) reinterpret_cast<int (*)(int)>(stop)(target);
}

void ResetEntryStubs() {
  stopLookedUp = false;
  stopEntry.store(nullptr);
  for (void*& entry : entries) entry = nullptr;
  ibconfigEosEntry = nullptr;
}
