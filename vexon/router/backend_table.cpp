// The back ends this build knows, by the name a bus file gives them. The
// router knows no other. A back end not built in opens no board.
#include <cstring>
#include <string>

#include "backend.h"
#include "status.h"

namespace vexon {

Backend SimBackend();
Backend LinuxGpibBackend();
#ifdef VEXON_NULL_BACKEND
Backend NullBackend();
#endif

namespace {

// A board whose back end is not part of this build fails to open.
template <const char* kName>
Backend Unavailable() {
  Backend b;
  b.name = kName;
  b.openBoard = [](const BoardSettings& s) {
    ReportProblem("gpib" + std::to_string(s.index) + ": back end \"" + kName +
                  "\" is not available in this build");
    Fail(0, EDVR);
    return false;
  };
  return b;
}

constexpr char kPrologix[] = "prologix", kAr488[] = "ar488";

struct BackendEntry {
  const char* name;
  Backend (*make)();
};

const BackendEntry kBackends[] = {
    {"sim", &SimBackend},
    {"linux-gpib", &LinuxGpibBackend},
    {kPrologix, &Unavailable<kPrologix>},
    {kAr488, &Unavailable<kAr488>},
#ifdef VEXON_NULL_BACKEND
    {"null", &NullBackend},  // the benchmark's: does nothing
#endif
};
constexpr int kBackendCount = sizeof kBackends / sizeof kBackends[0];

}  // namespace

const Backend* FindBackend(const char* name) {
  // Built on first use, after every back end's statics.
  static const auto table = [] {
    struct Completed {
      Backend ops[kBackendCount];
    } t;
    for (int i = 0; i < kBackendCount; ++i) t.ops[i] = CompleteBackend(kBackends[i].make());
    return t;
  }();
  for (int i = 0; i < kBackendCount; ++i)
    if (std::strcmp(kBackends[i].name, name) == 0) return &table.ops[i];
  return nullptr;
}


}  // namespace vexon
