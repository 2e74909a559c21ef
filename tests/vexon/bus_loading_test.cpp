// When the driver loads its bus: where it looks, that only calls that need a
// bus load it, and that a bad file is tried again on every call. Each case
// runs in a child process, since a process loads its bus once.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "../../vexon/router/bus_loader.h"
#include "../../vexon/router/driver_api.h"
#include "child.h"

namespace {

TEST(BusLoading, BadFileIsTriedAgainOnEveryCallUntilFixed) {
  const std::string file = "/tmp/vexon_bus_" + std::to_string(getpid()) + ".yaml";
  std::string errors;
  const int status = InChild(
      [&] {
        std::ofstream(file) << "boards:\n  gpib0: {pad: 40}\n";
        setenv("VOREL_BUS", file.c_str(), 1);
        Ibsta();  // loads nothing
        if (ibfindA("dmm") != -1 || Iberr() != EDVR || Ibcnt() != 0 || Ibsta() != ERR) return false;
        SendIFC(0);
        if (Iberr() != EDVR) return false;
        std::ofstream(file) << "boards:\n  gpib0: {pad: 7}\n";
        const int ud = ibfindA("gpib0");
        int pad = 0;
        return ud == 0 && !(ibask(ud, IbcPAD, &pad) & ERR) && pad == 7 && ibfindA("gpib1") == -1 &&
               Iberr() == ENEB;
      },
      errors);
  unlink(file.c_str());
  EXPECT_EQ(status, 0);
  const std::string message = "vexon: " + file + ":2:16: pad: expected a whole number from 0 to 30\n";
  EXPECT_EQ(errors, message + message);
}

TEST(BusLoading, TheUsersFileComesBeforeTheSystemsAndVorelBusBeforeBoth) {
  const std::string home = "/tmp/vexon_home_" + std::to_string(getpid());
  std::system(("mkdir -p " + home + "/.config/vorel " + home + "/xdg/vorel").c_str());
  std::ofstream(home + "/.config/vorel/bus.yaml") << "{}\n";
  std::ofstream(home + "/xdg/vorel/bus.yaml") << "{}\n";
  struct Row {
    std::string bus, xdg, path;
  } const rows[] = {
      {"named.yaml", "", "named.yaml"},
      {"", home + "/xdg", home + "/xdg/vorel/bus.yaml"},
      {"", "", home + "/.config/vorel/bus.yaml"},
  };
  setenv("HOME", home.c_str(), 1);
  for (const Row& row : rows) {
    setenv("VOREL_BUS", row.bus.c_str(), 1);
    setenv("XDG_CONFIG_HOME", row.xdg.c_str(), 1);
    EXPECT_EQ(vexon::FindBusSource().path, row.path) << row.bus << " " << row.xdg;
  }
  std::system(("rm -rf " + home).c_str());
  unsetenv("VOREL_BUS");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
