// The router's own checks and tables, on a bus given in process: board
// indexes, handle numbers, board settings reaching the simulator, a board
// whose back end this build lacks.
#include <gtest/gtest.h>

#include "../../vexon/router/driver_api.h"
#include "../../vexon/router/router.h"
#include "child.h"

namespace {

vexon::BusConfig ThreeBoards() {
  vexon::BusConfig bus;
  vexon::BoardSettings b0, b2, b5;
  b2.index = 2;
  b2.pad = 3;
  b2.systemController = false;
  b5.index = 5;
  b5.backend = "ar488";
  b5.port = "/nonexistent/adapter";
  bus.boards = {b0, b2, b5};
  return bus;
}

TEST(Router, BoardIndexesHandlesAndSettings) {
  std::string errors;
  const int status = InChild(
      [] {
        vexon::UseBus(ThreeBoards());
        struct Row {
          int board, result, error;
        } const opens[] = {{1, -1, ENEB}, {99, -1, ENEB}, {100, -1, EDVR}, {-1, -1, EDVR},
                           {0, 16, 0},    {2, 17, 0},    {5, -1, EDVR}};
        for (const Row& r : opens) {
          const int ud = ibdev(r.board, 1, 0, 13, 1, 0);
          if (ud != r.result || (ud < 0 && Iberr() != r.error)) return false;
        }
        struct Call {
          int ud, error;
        } const calls[] = {{1024, EHDL}, {-1, EHDL}, {2, EDVR}, {18, EDVR}, {500, EDVR}};
        for (const Call& c : calls)
          if (ibclr(c.ud) != ERR || Iberr() != c.error) return false;
        // A board's handle is its index, whatever was opened before it, and
        // the same when the board is found again; its settings: its primary
        // address, not system controller.
        const int board = ibfindA("GPIB2");
        int pad = 0, sc = 1;
        if (board != 2 || ibfindA("gpib2") != 2 || ibfindA("gpib0") != 0) return false;
        if ((ibask(board, IbcPAD, &pad) & ERR) || pad != 3) return false;
        if ((ibask(board, IbcSC, &sc) & ERR) || sc != 0) return false;
        if (!(ibsic(board) & ERR) || Iberr() != ESAC) return false;
        // A closed device handle's number is the next one given out; a closed
        // board handle's number comes back with the board.
        if ((ibonl(16, 0) & ERR) || (ibonl(0, 0) & ERR)) return false;
        if (ibclr(16) != ERR || Iberr() != EDVR || ibclr(0) != ERR) return false;
        return ibdev(0, 2, 0, 13, 1, 0) == 16 && ibdev(0, 3, 0, 13, 1, 0) == 18 && ibfindA("gpib0") == 0;
      },
      errors);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(errors, "vexon: gpib5: /nonexistent/adapter: No such file or directory\n");
}

// ibonl 1 puts back the settings the handle was opened with, and what the
// bus holds of them.
TEST(Router, ResetPutsBackTheOpeningSettings) {
  std::string errors;
  const int status = InChild(
      [] {
        vexon::UseBus(ThreeBoards());
        auto asked = [](int ud, int option) {
          int v = -1;
          return (ibask(ud, option, &v) & ERR) ? -1 : v;
        };
        const int dev = ibdev(0, 1, 0, T1s, 0, 0x140A);
        ibconfig(dev, IbcTMO, T3s);
        ibeos(dev, 0);
        ibconfig(dev, IbcEOT, 1);
        if ((ibonl(dev, 1) & ERR) || asked(dev, IbcTMO) != T1s || asked(dev, IbcEOS) != 0x140A ||
            asked(dev, IbcEOT) != 0)
          return false;
        const int board = ibfindA("gpib0");
        short lines = 0;
        ibconfig(board, IbcSRE, 1);
        if ((iblines(board, &lines) & ERR) || !(lines & 0x1000)) return false;  // REN asserted
        if ((ibonl(board, 1) & ERR) || asked(board, IbcSRE) != 0) return false;
        if ((iblines(board, &lines) & ERR) || (lines & 0x1000)) return false;  // and released
        // A board's own address and role are its opening settings.
        const int other = ibfindA("gpib2");
        ibconfig(other, IbcPAD, 9);
        return !(ibonl(other, 1) & ERR) && asked(other, IbcPAD) == 3 && asked(other, IbcSC) == 0;
      },
      errors);
  EXPECT_EQ(status, 0) << errors;
}

}  // namespace
