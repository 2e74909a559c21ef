// The README's table of what each back end cannot do is this build's: for
// every back end a bus file may name, the calls it leaves to the shared
// default (ECAP) are the ones its row lists.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "../../vexon/router/backend.h"

namespace {

// The calls whose operation is the default one, as "`name`, `name`". The
// router answers the option calls from its own record of the handle, so
// those defaults are no ECAP.
std::string DefaultCalls(const vexon::Backend& b) {
  const vexon::Backend none = vexon::CompleteBackend(vexon::Backend{});
  const std::string answered = " ibask ibconfig ibeos ";
  std::string list;
#define VEXON_DEFAULTED(name, params, args)                                  \
  if (b.name == none.name && answered.find(" " #name " ") == std::string::npos) \
    list += (list.empty() ? "`" : ", `") + std::string(#name) + "`";
  VEXON_HANDLE_CALLS(VEXON_DEFAULTED)
  VEXON_BOARD_ROUTINES(VEXON_DEFAULTED)
#undef VEXON_DEFAULTED
  return list.empty() ? "none" : list;
}

TEST(Capabilities, TheReadmeTableIsThisBuilds) {
  std::ifstream in(VOREL_SOURCE_DIR "/vexon/README.md");
  std::stringstream readme;
  readme << in.rdbuf();
  int count = 0;
  const vexon::Backend* all = vexon::AllBackends(count);
  for (int i = 0; i < count; ++i) {
    if (!all[i].readBoard) continue;  // not for bus files
    const std::string row = "| `" + std::string(all[i].name) + "` | " + DefaultCalls(all[i]) + " |";
    EXPECT_NE(readme.str().find(row), std::string::npos) << "vexon/README.md lacks the row\n" << row;
  }
}

}  // namespace
