// device_docmd on an interface link: command bytes, bus status, ATN, REN,
// pass control, the gateway's bus address and IFC.
#include <vector>

#include "core_calls.h"
#include "device_call.h"
#include "links.h"
#include "protocol.h"

namespace gateway {

namespace {

// Bus status queries (the value of kCmdBusStatus's argument).
enum BusStatus { kRen = 1, kSrq, kNdac, kSystemController, kControllerInCharge, kTalker, kListener, kBusAddress };

constexpr int kValidNdac = 0x02, kValidRen = 0x10, kValidSrq = 0x20;
constexpr int kBusNdac = 0x0200, kBusRen = 0x1000, kBusSrq = 0x2000;

// A value of `size` bytes in the client's byte order: big-endian when it
// says network order, little-endian otherwise.
long ReadValue(const Device_DocmdParms& p) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(p.data_in.data_in_val);
  unsigned long value = 0;
  u_int n = p.data_in.data_in_len;
  for (u_int i = 0; i < n; ++i) {
    unsigned shift = p.network_order ? 8 * (n - 1 - i) : 8 * i;
    value |= static_cast<unsigned long>(bytes[i]) << shift;
  }
  return static_cast<long>(value);
}

void WriteValue(long value, int size, bool networkOrder, std::vector<char>* out) {
  out->resize(size);
  for (int i = 0; i < size; ++i) {
    int shift = networkOrder ? 8 * (size - 1 - i) : 8 * i;
    (*out)[i] = static_cast<char>((static_cast<unsigned long>(value) >> shift) & 0xFF);
  }
}

bool HasSize(const Device_DocmdParms& p, long size) {
  return p.datasize == size && p.data_in.data_in_len == static_cast<u_int>(size);
}

// The answer to a bus status query, or -1 for an unknown one.
long BusStatusValue(Link& link, long what) {
  short lines = 0;
  int sta = 0, value = 0;
  switch (what) {
    case kRen:
    case kSrq:
    case kNdac: {
      LibraryCall([&] { iblines(link.ud, &lines); });
      int valid = what == kRen ? kValidRen : what == kSrq ? kValidSrq : kValidNdac;
      int bus = what == kRen ? kBusRen : what == kSrq ? kBusSrq : kBusNdac;
      return (lines & valid) && (lines & bus) ? 1 : 0;
    }
    case kSystemController:
      LibraryCall([&] { ibask(link.ud, IbcSC, &value); });
      return value ? 1 : 0;
    case kControllerInCharge:
    case kTalker:
    case kListener:
      sta = LibraryCall([&] { ibwait(link.ud, 0); }).sta;
      return (sta & (what == kControllerInCharge ? CIC : what == kTalker ? TACS : LACS)) ? 1 : 0;
    case kBusAddress:
      LibraryCall([&] { ibask(link.ud, IbcPAD, &value); });
      return value;
    default:
      return -1;
  }
}

long RunCommand(Link& link, const Device_DocmdParms& p, std::vector<char>* out) {
  switch (p.cmd) {
    case kCmdSendCommand:
      if (p.datasize != 1 || p.data_in.data_in_len < 1 || p.data_in.data_in_len > 128) return kParameterError;
      return ErrorOf(LibraryCall([&] { ibcmd(link.ud, p.data_in.data_in_val, static_cast<int>(p.data_in.data_in_len)); }), link);
    case kCmdBusStatus: {
      if (!HasSize(p, 2)) return kParameterError;
      long value = BusStatusValue(link, ReadValue(p));
      if (value < 0) return kParameterError;
      WriteValue(value, 2, p.network_order, out);
      return kNoError;
    }
    case kCmdAtnControl: {
      if (!HasSize(p, 2)) return kParameterError;
      bool assert = ReadValue(p) != 0;
      return ErrorOf(LibraryCall([&] { assert ? ibcac(link.ud, 1) : ibgts(link.ud, 0); }), link);
    }
    case kCmdRenControl: {
      if (!HasSize(p, 2)) return kParameterError;
      int value = ReadValue(p) != 0;
      return ErrorOf(LibraryCall([&] { ibconfig(link.ud, IbcSRE, value); }), link);
    }
    case kCmdPassControl: {
      if (!HasSize(p, 4)) return kParameterError;
      long address = ReadValue(p);
      if (address < 0 || address > 30) return kInvalidAddress;
      return ErrorOf(LibraryCall([&] { PassControl(link.board, MakeAddr(address, 0)); }), link);
    }
    case kCmdBusAddress: {
      if (!HasSize(p, 4)) return kParameterError;
      long address = ReadValue(p);
      if (address < 0 || address > 30) return kParameterError;
      return ErrorOf(LibraryCall([&] { ibconfig(link.ud, IbcPAD, static_cast<int>(address)); }), link);
    }
    case kCmdIfcControl:
      return ErrorOf(LibraryCall([&] { ibsic(link.ud); }), link);
    default:
      return kNotSupported;
  }
}

}  // namespace

void DeviceDocmd(const std::shared_ptr<Connection>& c, const Device_DocmdParms& p, Device_DocmdResp* r) {
  thread_local std::vector<char> out;
  out.clear();
  std::shared_ptr<Link> link = FindLink(*c, p.lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  if (link->target.kind != LinkTarget::kInterface) {
    r->error = kNotSupported;
    return;
  }
  DeviceCall call(*link, p.flags, p.lock_timeout);
  if ((r->error = call.error) != kNoError) return;
  SetTimeout(*link, p.io_timeout);
  r->error = RunCommand(*link, p, &out);
  r->data_out.data_out_val = out.data();
  r->data_out.data_out_len = static_cast<u_int>(out.size());
}

}  // namespace gateway
