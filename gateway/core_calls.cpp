// The core channel's procedures for device and interface links: links,
// I/O, status byte, clear, trigger, remote and local, locks.
#include "core_calls.h"

#include <algorithm>
#include <vector>

#include "device_call.h"
#include "links.h"
#include "protocol.h"
#include "srq.h"

namespace gateway {

namespace {

constexpr int kREOS = 0x0400;  // ibconfig(IbcEOS): end a read at the EOS byte
constexpr int kBIN = 0x1000;   // ... comparing all eight bits
constexpr unsigned long kMaxReadChunk = 1 << 20;  // a larger request is served in parts
constexpr char kGET = 0x08;
constexpr char kDCL = 0x14;

// Runs a generic call: find the link, hold its device, then `body`.
template <class Body>
long OnDevice(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Body body) {
  std::shared_ptr<Link> link = FindLink(*c, p.lid);
  if (!link) return kInvalidLink;
  DeviceCall call(*link, p.flags, p.lock_timeout);
  if (call.error != kNoError) return call.error;
  SetTimeout(*link, p.io_timeout);
  return body(*link);
}

long SendCommand(Link& link, char byte) {
  return ErrorOf(LibraryCall([&] { ibcmd(link.ud, &byte, 1); }), link);
}

}  // namespace

void CreateLink(const std::shared_ptr<Connection>& c, const Create_LinkParms& p, Create_LinkResp* r) {
  r->abortPort = abortPort;
  r->maxRecvSize = maxRecvSize;
  LinkTarget target;
  r->error = ParseLinkName(p.device ? p.device : "", &target);
  if (r->error != kNoError) return;
  std::shared_ptr<Link> link;
  r->error = OpenLink(c, target, p.lockDevice, p.lock_timeout, &link);
  if (r->error == kNoError) r->lid = link->lid;
}

void DeviceWrite(const std::shared_ptr<Connection>& c, const Device_WriteParms& p, Device_WriteResp* r) {
  std::shared_ptr<Link> link = FindLink(*c, p.lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  if (p.data.data_len > maxRecvSize) {
    r->error = kParameterError;
    return;
  }
  DeviceCall call(*link, p.flags, p.lock_timeout);
  if ((r->error = call.error) != kNoError) return;
  SetTimeout(*link, p.io_timeout);
  SetEot(*link, (p.flags & kEndFlag) ? 1 : 0);
  CallStatus st = LibraryCall([&] { ibwrt(link->ud, p.data.data_val, static_cast<int>(p.data.data_len)); });
  r->error = ErrorOf(st, *link);
  r->size = static_cast<unsigned long>(std::max(0L, st.cntl));
}

void DeviceRead(const std::shared_ptr<Connection>& c, const Device_ReadParms& p, Device_ReadResp* r) {
  // The reply's data stays in this thread's buffer until it is sent.
  thread_local std::vector<char> buffer;
  std::shared_ptr<Link> link = FindLink(*c, p.lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  DeviceCall call(*link, p.flags, p.lock_timeout);
  if ((r->error = call.error) != kNoError) return;
  SetTimeout(*link, p.io_timeout);
  bool termChar = p.flags & kTermCharSet;
  SetEos(*link, termChar ? (kREOS | kBIN | static_cast<unsigned char>(p.termChar)) : 0);
  unsigned long want = std::min(p.requestSize, kMaxReadChunk);
  buffer.resize(std::max(want, 1UL));
  CallStatus st = LibraryCall([&] { ibrd(link->ud, buffer.data(), static_cast<int>(want)); });
  unsigned long count = static_cast<unsigned long>(std::clamp(st.cntl, 0L, static_cast<long>(want)));
  r->error = ErrorOf(st, *link);
  r->reason = 0;
  if (st.sta & END)
    r->reason |= termChar && count > 0 && buffer[count - 1] == p.termChar ? kReasonTermChar : kReasonEnd;
  if (count == p.requestSize) r->reason |= kReasonRequestCount;
  r->data.data_val = buffer.data();
  r->data.data_len = static_cast<u_int>(count);
}

void DeviceReadStb(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_ReadStbResp* r) {
  r->error = OnDevice(c, p, [&](Link& link) {
    if (link.target.kind == LinkTarget::kInterface) return kNotSupported;
    char stb = 0;
    long error = ErrorOf(LibraryCall([&] { ibrsp(link.ud, &stb); }), link);
    r->stb = static_cast<unsigned char>(stb);
    SrqPolled(link.board);
    return error;
  });
}

void DeviceTrigger(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r) {
  r->error = OnDevice(c, p, [](Link& link) {
    if (link.target.kind == LinkTarget::kInterface) return SendCommand(link, kGET);
    return ErrorOf(LibraryCall([&] { ibtrg(link.ud); }), link);
  });
}

void DeviceClear(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r) {
  r->error = OnDevice(c, p, [](Link& link) {
    if (link.target.kind == LinkTarget::kInterface) return SendCommand(link, kDCL);
    return ErrorOf(LibraryCall([&] { ibclr(link.ud); }), link);
  });
}

void DeviceRemote(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r) {
  r->error = OnDevice(c, p, [](Link& link) {
    if (link.target.kind == LinkTarget::kInterface) return kNotSupported;
    Addr4882_t list[2] = {MakeAddr(link.target.pad, link.target.sad), NOADDR};
    return ErrorOf(LibraryCall([&] { EnableRemote(link.board, list); }), link);
  });
}

void DeviceLocal(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r) {
  r->error = OnDevice(c, p, [](Link& link) {
    if (link.target.kind == LinkTarget::kInterface) return kNotSupported;
    return ErrorOf(LibraryCall([&] { ibloc(link.ud); }), link);
  });
}

void DeviceLock(const std::shared_ptr<Connection>& c, const Device_LockParms& p, Device_Error* r) {
  std::shared_ptr<Link> link = FindLink(*c, p.lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  link->aborted = false;
  r->error = LockDevice(*link, p.flags, p.lock_timeout);
}

void DeviceUnlock(const std::shared_ptr<Connection>& c, const Device_Link& lid, Device_Error* r) {
  std::shared_ptr<Link> link = FindLink(*c, lid);
  r->error = link ? UnlockDevice(*link) : kInvalidLink;
}

void DestroyLink(const std::shared_ptr<Connection>& c, const Device_Link& lid, Device_Error* r) {
  std::shared_ptr<Link> link = FindLink(*c, lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  CloseLink(link);
  r->error = kNoError;
}

void DeviceAbort(const std::shared_ptr<Connection>&, const Device_Link& lid, Device_Error* r) {
  std::shared_ptr<Link> link = FindAnyLink(lid);
  if (!link) {
    r->error = kInvalidLink;
    return;
  }
  AbortLink(*link);
  r->error = kNoError;
}

}  // namespace gateway
