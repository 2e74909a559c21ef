// The driver calls the recorder watches, by the back-end operation they
// reach: After<&Backend::ibwrt>{sta}.Call(ud, buf, count) tells the recorder
// what ibwrt did; any other call does nothing. The entry points run it only
// while a board records.
#pragma once
#include "recorder.h"
#include "status.h"

namespace vexon::recorder {

// The bytes a call moved: ibcntl, at most the count it was given; none when
// it failed with EDVR, whose ibcntl is a system error code.
inline long Moved(int sta, int count) {
  const long n = LastCount();
  if (((sta & ERR) && LastError() == EDVR) || n < 0) return 0;
  return n < count ? n : count;
}

template <auto Operation>
struct After {
  int sta;
  template <class... Args>
  void Call(Args...) const {}
};

template <>
struct After<&Backend::ibwrt> {
  int sta;
  void Call(int ud, const void* buf, int count) const { DeviceWriteDone(ud, buf, Moved(sta, count), sta); }
};
template <>
struct After<&Backend::ibrd> {
  int sta;
  void Call(int ud, const void* buf, int count) const { DeviceReadDone(ud, buf, Moved(sta, count), sta); }
};
template <>
struct After<&Backend::ibrsp> {
  int sta;
  void Call(int ud, const char* spr) const {
    if (!(sta & ERR) && spr) HandleSerialPolled(ud, static_cast<uint8_t>(*spr));
  }
};
template <>
struct After<&Backend::ibeos> {
  int sta;
  void Call(int ud, int v) const {
    if (!(sta & ERR)) TerminatorsSet(ud, IbcEOS, v);
  }
};
template <>
struct After<&Backend::ibconfig> {
  int sta;
  void Call(int ud, int option, int value) const {
    if (!(sta & ERR)) TerminatorsSet(ud, option, value);
  }
};
template <>
struct After<&Backend::Send> {
  int sta;
  void Call(int board, uint16_t address, const void* buf, int count, int eotMode) const {
    AddressWriteDone(board, address, buf, Moved(sta, count), eotMode, sta);
  }
};
template <>
struct After<&Backend::Receive> {
  int sta;
  void Call(int board, uint16_t address, const void* buf, int count, int) const {
    AddressReadDone(board, address, buf, Moved(sta, count), sta);
  }
};
template <>
struct After<&Backend::ReadStatusByte> {
  int sta;
  void Call(int board, uint16_t address, const short* result) const {
    if (!(sta & ERR) && result) SerialPolled(board, address & 0xFF, address >> 8, static_cast<uint8_t>(*result));
  }
};

}  // namespace vexon::recorder
