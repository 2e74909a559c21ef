// The settings of a handle, the same for every back end: the options of
// ibconfig and ibask with their ranges and defaults, and the checks of
// ibdev, ibconfig, ibask, ibeos and ibwait.
#pragma once

namespace vexon {

// One option: its range, whether boards and devices have it, its defaults,
// and whether ibconfig may change it.
struct OptionInfo {
  int option, lo, hi;
  bool board, device;
  int boardDefault, deviceDefault;
  bool readOnly;
};
// The option's entry, or null for an option no handle has.
const OptionInfo* FindOption(int option);

// A handle's settings by option number. Options run from 1 to 37; any other
// number (IbcBNA, which is answered from the handle's board) has slot 0.
constexpr int kOptionSlots = 38;
constexpr int OptionSlot(int option) {
  return static_cast<unsigned>(option) < static_cast<unsigned>(kOptionSlots) ? option : 0;
}
struct HandleConfig {
  int values[kOptionSlots] = {};
  int& operator[](int option) { return values[OptionSlot(option)]; }
  int operator[](int option) const { return values[OptionSlot(option)]; }
};
HandleConfig DefaultConfig(bool board);
// Sets an option, keeping IbcEOS and its parts (EOS byte, EOSrd, EOSwrt,
// EOScmp) in step; returns the previous value.
int StoreOption(HandleConfig& config, int option, int value);

// Returned by the checks below when a call may go ahead.
constexpr int kAllowed = -1;
// The error of ibdev's arguments (EARG), or kAllowed; a device handle's
// settings from them.
int DeviceRefusal(int pad, int sad, int tmo, int eot, int eos);
HandleConfig DeviceConfig(int pad, int sad, int tmo, int eot, int eos);
// The error of an ibask (no buffer, unknown option: EARG; an option this
// kind of handle lacks: ECAP), or kAllowed.
int AskRefusal(bool board, int option, const void* value);
// The error of an ibconfig (EARG for an unknown option or a value out of
// range, ECAP for one the handle lacks or may not change), or kAllowed.
int ConfigRefusal(bool board, int option, int value);
// ibeos's range.
bool ValidEos(int v);
// The status bits ibwait and ibnotify may name for a board or a device.
int WaitConditions(bool board);

}  // namespace vexon
