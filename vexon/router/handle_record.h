// What the router keeps of every handle, whatever its back end: whether it
// is a board's, its board, and its options (ibconfig, ibask, ibeos, the
// settings ibdev gave it). Back ends read a handle's settings here and keep
// no copy. The handle of board N is N, so record N also holds the board's
// own settings, which its 488.2 routines use, from the board's opening on.
// Reads are atomic loads; any thread may read while another sets.
#pragma once
#include "handle_options.h"

namespace vexon {

struct HandleKind {
  bool isBoard = false;
  int board = 0;
  // Opened by a link name of the board's server ("inst0"): no bus address.
  bool linked = false;
};

// ud is a handle of the table (0 to kMaxHandles - 1), open or being opened.
HandleKind KindOf(int ud);
int OptionOf(int ud, int option);
HandleConfig OptionsOf(int ud);

// Fills the record of a handle being opened.
void PlaceRecord(int ud, bool isBoard, int board, const HandleConfig& config, bool linked = false);
// Sets an option as StoreOption does; returns the previous value.
int SetOptionOf(int ud, int option, int value);
// The handle's back end opened it: its settings now are those ibonl 1
// restores.
void MarkOpened(int ud);
// The settings the handle had when it was opened.
HandleConfig OpeningOf(int ud);
// ibonl 1: every setting back to what it was when the handle was opened.
void ResetRecord(int ud);
// A device handle moved to another board of its back end.
void MoveRecord(int ud, int board);

}  // namespace vexon
