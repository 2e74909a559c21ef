// A handle's settings as a program sees them on one board: ibdev's checks,
// ibask, ibconfig and ibeos with their previous values, ibonl's reset, and
// the board's own settings back to their defaults with its handle. Each
// outcome as text, so that a test compares a back end's with the simulated
// bus's.
#pragma once
#include <string>
#include <vector>

#include "vexon/router/driver_api.h"

namespace option_session {

inline std::string Status(const std::string& what) {
  std::string s = what + ": sta " + std::to_string(Ibsta() & (ERR | CMPL));
  return s + " err " + std::to_string(Iberr());
}

inline std::string Asked(int ud, int option) {
  int v = -1;
  ibask(ud, option, &v);
  return Status("ask " + std::to_string(option)) + " value " + std::to_string(v);
}

inline std::vector<std::string> Session(int board) {
  std::vector<std::string> out;
  out.push_back(std::to_string(ibdev(board, 1, 0, 18, 1, 0)));
  out.push_back(Status("ibdev T1000s+1"));
  const int dmm = ibdev(board, 1, 0, 11 /* 1 s */, 1, 0x1400 | '\n');
  for (int option : {IbcTMO, IbcEOT, IbcEOS, IbcEOSrd, IbcEOScmp, IbcEOSchar, IbcUnAddr}) out.push_back(Asked(dmm, option));
  int bna = -1;
  ibask(dmm, IbcBNA, &bna);
  out.push_back(Status("ask BNA") + (bna == board ? " its board" : " another board"));
  ibconfig(dmm, IbcTMO, 13);
  out.push_back(Status("config TMO"));
  ibeos(dmm, 0);
  out.push_back(Status("ibeos"));
  ibconfig(dmm, IbcEOSchar, 'x');
  out.push_back(Status("config EOSchar"));
  out.push_back(Asked(dmm, IbcEOS));
  ibconfig(dmm, IbcTMO, 18);
  out.push_back(Status("config TMO 18"));
  ibconfig(dmm, IbcSC, 1);
  out.push_back(Status("config SC on a device"));
  ibask(dmm, IbcTMO, nullptr);
  out.push_back(Status("ask into nothing"));
  ibonl(dmm, 2);
  out.push_back(Status("ibonl 2"));
  ibonl(dmm, 1);
  out.push_back(Status("ibonl 1"));
  out.push_back(Asked(dmm, IbcTMO));
  out.push_back(Asked(dmm, IbcEOS));
  ibonl(dmm, 0);
  // The board's settings live with its handle.
  const std::string name = "gpib" + std::to_string(board);
  const int ud = ibfindA(name.c_str());
  ibconfig(ud, IbcTMO, 9);
  out.push_back(Status("board config TMO"));
  out.push_back(Asked(ud, IbcTMO));
  ibconfig(ud, IbcUnAddr, 1);
  out.push_back(Status("config UnAddr on a board"));
  ibonl(ud, 0);
  out.push_back(Status("board ibonl 0"));
  out.push_back(Asked(ibfindA(name.c_str()), IbcTMO));
  return out;
}

}  // namespace option_session
