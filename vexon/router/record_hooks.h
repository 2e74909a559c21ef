// The driver calls the recorder watches, by the back-end operation they
// reach: After<&Backend::ibwrt>{sta}.Call(ud, buf, count) tells the recorder
// what ibwrt did; any other call does nothing. The entry points run it only
// while a board records.
#pragma once
#include <algorithm>
#include <climits>

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

// What the recorder changes of a call's arguments before it runs: nothing,
// but for ibnotify (below).
template <auto Operation>
struct Before {
  template <class... Args>
  static void Adjust(Args&...) {}
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
    AddressingLost(board);
    if (!(sta & ERR) && result) SerialPolled(board, address & 0xFF, address >> 8, static_cast<uint8_t>(*result));
  }
};

// The entries of a 488.2 address list before NOADDR.
inline int ListLength(const uint16_t* list) {
  int n = 0;
  while (list && n < 31 * 31 && list[n] != NOADDR) ++n;
  return n;
}

template <>
struct After<&Backend::AllSpoll> {
  int sta;
  // Every result before the address that failed (ibcntl's index) is an answer.
  void Call(int board, const uint16_t* list, const short* results) const {
    AddressingLost(board);
    if (!results) return;
    const int n = ListLength(list), answered = (sta & ERR) ? std::min(LastCount(), n) : n;
    for (int i = 0; i < answered; ++i)
      SerialPolled(board, list[i] & 0xFF, list[i] >> 8, static_cast<uint8_t>(results[i]));
  }
};
template <>
struct After<&Backend::FindRQS> {
  int sta;
  // ibcntl is the index of the device asking for service; its result is its status byte.
  void Call(int board, const uint16_t* list, const short* result) const {
    AddressingLost(board);
    const int at = LastCount();
    if ((sta & ERR) || !result || at < 0 || at >= ListLength(list)) return;
    SerialPolled(board, list[at] & 0xFF, list[at] >> 8, static_cast<uint8_t>(*result));
  }
};
template <>
struct After<&Backend::SendList> {
  int sta;
  void Call(int board, const uint16_t* list, const void* buf, int count, int eotMode) const {
    const int n = ListLength(list);
    for (int i = 0; i < n; ++i) AddressWriteDone(board, list[i], buf, Moved(sta, count), eotMode, sta);
    AddressingLost(board);
  }
};

// Files: the bytes ibwrtf sent and ibrdf wrote.
template <>
struct After<&Backend::ibwrtfA> {
  int sta;
  void Call(int ud, const char* fileName) const { FileWritten(ud, fileName, Moved(sta, INT_MAX), sta); }
};
template <>
struct After<&Backend::ibrdfA> {
  int sta;
  void Call(int ud, const char* fileName) const { FileRead(ud, fileName, Moved(sta, INT_MAX), sta); }
};

// The board's own addressing and transfers.
template <>
struct After<&Backend::ibcmd> {
  int sta;
  void Call(int ud, const void* buf, int count) const { CommandsSent(ud, buf, Moved(sta, count), sta); }
};
template <>
struct After<&Backend::SendCmds> {
  int sta;
  void Call(int board, const void* buf, int count) const { CommandsSent(board, buf, Moved(sta, count), sta); }
};
template <>
struct After<&Backend::SendSetup> {
  int sta;
  void Call(int board, const uint16_t* list) const { ListenersSet(board, list, sta); }
};
template <>
struct After<&Backend::ReceiveSetup> {
  int sta;
  void Call(int board, uint16_t address) const { TalkerSet(board, address, sta); }
};
template <>
struct After<&Backend::SendDataBytes> {
  int sta;
  void Call(int board, const void* buf, int count, int eotMode) const {
    BoardWriteDone(board, buf, Moved(sta, count), eotMode, sta);
  }
};
template <>
struct After<&Backend::RcvRespMsg> {
  int sta;
  void Call(int board, const void* buf, int count, int) const { BoardReadDone(board, buf, Moved(sta, count), sta); }
};
template <>
struct After<&Backend::ibsic> {
  int sta;
  void Call(int ud) const { InterfaceCleared(ud, sta); }
};
template <>
struct After<&Backend::SendIFC> {
  int sta;
  void Call(int board) const { InterfaceCleared(board, sta); }
};
template <>
struct After<&Backend::ibcmda> {
  int sta;
  void Call(int ud, const void*, int) const { AddressingLost(ud); }
};

// Calls that address devices of the board themselves.
#define VEXON_READDRESSES(name, Lost)          \
  template <>                                  \
  struct After<&Backend::name> {               \
    int sta;                                   \
    template <class... Args>                   \
    void Call(int first, Args...) const {      \
      Lost(first);                             \
    }                                          \
  };
VEXON_READDRESSES(ibclr, HandleAddressingLost)
VEXON_READDRESSES(ibtrg, HandleAddressingLost)
VEXON_READDRESSES(ibloc, HandleAddressingLost)
VEXON_READDRESSES(ibpct, HandleAddressingLost)
VEXON_READDRESSES(ibppc, HandleAddressingLost)
VEXON_READDRESSES(DevClear, AddressingLost)
VEXON_READDRESSES(DevClearList, AddressingLost)
VEXON_READDRESSES(EnableLocal, AddressingLost)
VEXON_READDRESSES(EnableRemote, AddressingLost)
VEXON_READDRESSES(FindLstn, AddressingLost)
VEXON_READDRESSES(PPollConfig, AddressingLost)
VEXON_READDRESSES(PPollUnconfig, AddressingLost)
VEXON_READDRESSES(PassControl, AddressingLost)
VEXON_READDRESSES(ResetSys, AddressingLost)
VEXON_READDRESSES(SetRWLS, AddressingLost)
VEXON_READDRESSES(TestSys, AddressingLost)
VEXON_READDRESSES(Trigger, AddressingLost)
VEXON_READDRESSES(TriggerList, AddressingLost)
#undef VEXON_READDRESSES

// ibwrta and ibrda, native or built by the router from the synchronous
// calls: the data is known when ibwait reports the transfer complete.
template <>
struct After<&Backend::ibwrta> {
  int sta;
  void Call(int ud, const void* buf, int count) const { TransferStarted(ud, buf, count, true, sta, Moved(sta, count)); }
};
template <>
struct After<&Backend::ibrda> {
  int sta;
  void Call(int ud, const void* buf, int count) const { TransferStarted(ud, buf, count, false, sta, Moved(sta, count)); }
};
template <>
struct After<&Backend::ibwait> {
  int sta;
  void Call(int ud, int) const { TransferWaited(ud, sta, Moved(sta, INT_MAX)); }
};
// ibnotify: the program's function is called through the recorder's,
// which records an asynchronous transfer the notice reports complete.
template <>
struct Before<&Backend::ibnotify> {
  static void Adjust(int& ud, int&, NotifyCallback& cb, void*& refData) { RelayNotice(ud, cb, refData); }
};
template <>
struct After<&Backend::ibstop> {
  int sta;
  void Call(int ud) const { TransferStopped(ud); }
};

}  // namespace vexon::recorder
