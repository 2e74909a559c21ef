// The simulated bus: two boards, the devices on them, the handle table and the
// status words. All access goes through lock().
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "instrument.h"

namespace vorel::sim {

struct Device {
  const char* name;
  int board, pad, sad;  // sad: 0 = none, else 0x60..0x7E
  const Instrument* model;
  DeviceState state;
};

struct Handle {
  bool used = false;
  bool isBoard = false;
  int board = 0;
  bool online = true;
  std::map<int, int> config;  // option -> value
};

struct Status {
  int sta = 0, err = 0, cnt = 0;
};

struct Bus {
  std::vector<Device> devices;
  std::vector<Handle> handles;
  bool remoteEnable[2] = {false, false};
  Status status;

  Bus();
  Device* find(int board, int pad, int sad);
  bool validHandle(int ud) const;
  int boardStatus(int board) const;
  int cfg(int ud, int opt) { return handles[ud].config[opt]; }
};

Bus& bus();
std::mutex& busMutex();

// Known options: the value range, and whether they apply to boards, devices.
struct OptionInfo {
  int option, lo, hi;
  bool board, device;
  int boardDefault, deviceDefault;
};
const OptionInfo* optionInfo(int option);
std::map<int, int> defaultConfig(bool board);

}  // namespace vorel::sim
