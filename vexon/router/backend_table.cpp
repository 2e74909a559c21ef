// The back ends this build knows, by the name a bus file gives them. The
// router knows no other.
#include <cstring>
#include <string>

#include "backend.h"
#include "status.h"

namespace vexon {

Backend SimBackend();
Backend LinuxGpibBackend();
Backend PrologixBackend();
Backend Ar488Backend();
#ifdef VEXON_NULL_BACKEND
Backend NullBackend();
#endif

namespace {

struct BackendEntry {
  const char* name;
  Backend (*make)();
};

const BackendEntry kBackends[] = {
    {"sim", &SimBackend},
    {"linux-gpib", &LinuxGpibBackend},
    {"prologix", &PrologixBackend},
    {"ar488", &Ar488Backend},
#ifdef VEXON_NULL_BACKEND
    {"null", &NullBackend},  // the benchmark's: does nothing
#endif
};
constexpr int kBackendCount = sizeof kBackends / sizeof kBackends[0];

}  // namespace

const Backend* AllBackends(int& count) {
  // Built on first use, after every back end's statics.
  static const auto table = [] {
    struct Completed {
      Backend ops[kBackendCount];
    } t;
    for (int i = 0; i < kBackendCount; ++i) t.ops[i] = CompleteBackend(kBackends[i].make());
    return t;
  }();
  count = kBackendCount;
  return table.ops;
}

const Backend* FindBackend(const char* name) {
  int count = 0;
  const Backend* all = AllBackends(count);
  for (int i = 0; i < count; ++i)
    if (std::strcmp(kBackends[i].name, name) == 0) return &all[i];
  return nullptr;
}
}  // namespace vexon
