// The simulated bus: its devices, handles and boards.
#include "bus.h"

namespace vorel::sim {

Device* Bus::find(int board, int pad, int sad) {
  for (auto& d : devices)
    if (d.board == board && d.pad == pad && d.sad == sad) return &d;
  return nullptr;
}

bool Bus::validHandle(int ud) const {
  return ud >= 0 && ud < static_cast<int>(handles.size()) && handles[ud].used;
}

int Bus::boardStatus(int board) {
  const Board& b = boards[board];
  int s = 0;
  if (b.cic) s |= CIC | (b.atn ? ATN : 0);
  if (b.talker == kBoardTalks) s |= TACS;
  if (b.boardListens) s |= LACS;
  if (b.dcas) s |= DCAS;
  if (b.dtas) s |= DTAS;
  for (const auto& d : devices)
    if (d.board == board && d.state.srq) s |= SRQI;
  return s;
}

Bus& bus() {
  static Bus b;
  return b;
}

std::mutex& busMutex() {
  static std::mutex m;
  return m;
}

}  // namespace vorel::sim
