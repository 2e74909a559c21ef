// The RPC service of one connection, over libtirpc's record streams.
#include "rpc_server.h"

#include <rpc/rpc.h>

#include <cstring>
#include <vector>

#include "core_calls.h"
#include "links.h"
#include "log.h"

namespace gateway {

namespace {

using Serve = void (*)(const std::shared_ptr<Connection>&, void* args, void* result);

template <class A, class R, void (*F)(const std::shared_ptr<Connection>&, const A&, R*)>
void Invoke(const std::shared_ptr<Connection>& c, void* args, void* result) {
  F(c, *static_cast<const A*>(args), static_cast<R*>(result));
}

struct Procedure {
  u_long number;
  const char* name;
  xdrproc_t args;
  xdrproc_t result;
  Serve serve;
  // Where the arguments' one unbounded opaque or string has its length
  // word, so a length beyond the record is refused before xdr_bytes
  // allocates it; -1 for none.
  int lengthAt;
};

// xdrproc_t is variadic; rpcgen's routines and xdr_void are not.
template <class F>
xdrproc_t Xdr(F routine) {
  return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

#define VXI11_PROC(number, name, A, R, F, lengthAt) \
  {number, #name, Xdr(xdr_##A), Xdr(xdr_##R), &Invoke<A, R, F>, lengthAt}

const Procedure kCoreProcedures[] = {
    VXI11_PROC(create_link, create_link, Create_LinkParms, Create_LinkResp, CreateLink, 12),
    VXI11_PROC(device_write, device_write, Device_WriteParms, Device_WriteResp, DeviceWrite, 16),
    VXI11_PROC(device_read, device_read, Device_ReadParms, Device_ReadResp, DeviceRead, -1),
    VXI11_PROC(device_readstb, device_readstb, Device_GenericParms, Device_ReadStbResp, DeviceReadStb, -1),
    VXI11_PROC(device_trigger, device_trigger, Device_GenericParms, Device_Error, DeviceTrigger, -1),
    VXI11_PROC(device_clear, device_clear, Device_GenericParms, Device_Error, DeviceClear, -1),
    VXI11_PROC(device_remote, device_remote, Device_GenericParms, Device_Error, DeviceRemote, -1),
    VXI11_PROC(device_local, device_local, Device_GenericParms, Device_Error, DeviceLocal, -1),
    VXI11_PROC(device_lock, device_lock, Device_LockParms, Device_Error, DeviceLock, -1),
    VXI11_PROC(device_unlock, device_unlock, Device_Link, Device_Error, DeviceUnlock, -1),
    VXI11_PROC(device_enable_srq, device_enable_srq, Device_EnableSrqParms, Device_Error, DeviceEnableSrq, -1),
    VXI11_PROC(device_docmd, device_docmd, Device_DocmdParms, Device_DocmdResp, DeviceDocmd, 28),
    VXI11_PROC(destroy_link, destroy_link, Device_Link, Device_Error, DestroyLink, -1),
    VXI11_PROC(create_intr_chan, create_intr_chan, Device_RemoteFunc, Device_Error, CreateIntrChan, -1),
    {destroy_intr_chan, "destroy_intr_chan", Xdr(xdr_void), Xdr(xdr_Device_Error), &Invoke<char, Device_Error, DestroyIntrChan>, -1},
};

const Procedure kAbortProcedures[] = {
    VXI11_PROC(device_abort, device_abort, Device_Link, Device_Error, DeviceAbort, -1),
};

struct Program {
  u_long number;
  u_long version;
  const Procedure* procedures;
  size_t count;
};

const Program kPrograms[] = {
    {DEVICE_CORE, DEVICE_CORE_VERSION, kCoreProcedures, std::size(kCoreProcedures)},
    {DEVICE_ASYNC, DEVICE_ASYNC_VERSION, kAbortProcedures, std::size(kAbortProcedures)},
};

// Room for any procedure's decoded arguments and result.
union Arguments {
  Create_LinkParms createLink;
  Device_WriteParms write;
  Device_ReadParms read;
  Device_GenericParms generic;
  Device_LockParms lock;
  Device_EnableSrqParms enableSrq;
  Device_DocmdParms docmd;
  Device_RemoteFunc remoteFunc;
  Device_Link lid;
};
union Results {
  Create_LinkResp createLink;
  Device_WriteResp write;
  Device_ReadResp read;
  Device_ReadStbResp readStb;
  Device_DocmdResp docmd;
  Device_Error error;
};

enum class RecordRead { kRecord, kEnd, kTooLarge };

// The stream as xdrrec sees it, noting when it has ended: xdrrec reports the
// end of a record and the end of the stream alike.
struct TrackedStream {
  Stream stream;
  bool ended = false;
};

int ReadTracked(void* context, void* buffer, int length) {
  auto* t = static_cast<TrackedStream*>(context);
  int n = t->stream.read(t->stream.context, buffer, length);
  if (n <= 0) {
    t->ended = true;
    return -1;
  }
  return n;
}

int WriteTracked(void* context, void* buffer, int length) {
  auto* t = static_cast<TrackedStream*>(context);
  return t->stream.write(t->stream.context, buffer, length);
}

// Reads the current record into `record`, at most `limit` bytes, a word at
// a time (XDR fills every item to four bytes).
RecordRead ReadRecord(XDR* xdrs, const TrackedStream& stream, size_t limit, std::vector<char>* record) {
  record->clear();
  char word[4];
  while (XDR_GETBYTES(xdrs, word, 4)) {
    if (record->size() >= limit) return RecordRead::kTooLarge;
    record->insert(record->end(), word, word + 4);
  }
  return stream.ended ? RecordRead::kEnd : RecordRead::kRecord;
}

bool LengthFits(const std::vector<char>& record, u_int argsAt, int lengthAt) {
  if (lengthAt < 0 || record.size() < argsAt + lengthAt + 4) return true;  // decoding will fail
  const auto* p = reinterpret_cast<const unsigned char*>(record.data() + argsAt + lengthAt);
  unsigned long length = (unsigned long)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3];
  return length <= record.size() - argsAt - lengthAt - 4;
}

bool SendReply(XDR* xdrs, rpc_msg* reply) {
  xdrs->x_op = XDR_ENCODE;
  bool sent = xdr_replymsg(xdrs, reply) && xdrrec_endofrecord(xdrs, TRUE);
  xdrs->x_op = XDR_DECODE;
  return sent;
}

rpc_msg AcceptedReply(u_int32_t xid, enum accept_stat status) {
  rpc_msg reply{};
  reply.rm_xid = xid;
  reply.rm_direction = REPLY;
  reply.rm_reply.rp_stat = MSG_ACCEPTED;
  reply.acpted_rply.ar_verf = _null_auth;
  reply.acpted_rply.ar_stat = status;
  reply.acpted_rply.ar_results.where = nullptr;
  reply.acpted_rply.ar_results.proc = Xdr(xdr_void);
  return reply;
}

}  // namespace

std::string ServeCalls(const std::shared_ptr<Connection>& connection, Channel channel, Stream stream) {
  const Program& program = kPrograms[channel == Channel::kCore ? 0 : 1];
  // A call carries at most maxRecvSize bytes of data, plus its header.
  const size_t limit = maxRecvSize + 4096;
  TrackedStream tracked{stream};
  XDR xdrs;
  xdrrec_create(&xdrs, 0, 0, &tracked, &ReadTracked, &WriteTracked);
  xdrs.x_op = XDR_DECODE;
  std::vector<char> record;
  char credentials[2 * MAX_AUTH_BYTES];
  std::string ended;
  while (ended.empty()) {
    xdrrec_skiprecord(&xdrs);
    RecordRead got = ReadRecord(&xdrs, tracked, limit, &record);
    if (got == RecordRead::kEnd) {
      ended = "closed";
      break;
    }
    if (got == RecordRead::kTooLarge) {
      ended = "closed: a call longer than " + std::to_string(limit) + " bytes";
      break;
    }
    XDR in;
    xdrmem_create(&in, record.data(), static_cast<u_int>(record.size()), XDR_DECODE);
    rpc_msg call{};
    call.rm_call.cb_cred.oa_base = credentials;
    call.rm_call.cb_verf.oa_base = credentials + MAX_AUTH_BYTES;
    if (!xdr_callmsg(&in, &call) || call.rm_direction != CALL) {
      ended = "closed: not an RPC call";
      break;
    }
    rpc_msg reply = AcceptedReply(call.rm_xid, SUCCESS);
    const Procedure* procedure = nullptr;
    if (call.rm_call.cb_rpcvers != RPC_MSG_VERSION) {
      reply.rm_reply.rp_stat = MSG_DENIED;
      reply.rjcted_rply.rj_stat = RPC_MISMATCH;
      reply.rjcted_rply.rj_vers.low = RPC_MSG_VERSION;
      reply.rjcted_rply.rj_vers.high = RPC_MSG_VERSION;
    } else if (call.rm_call.cb_prog != program.number) {
      reply.acpted_rply.ar_stat = PROG_UNAVAIL;
    } else if (call.rm_call.cb_vers != program.version) {
      reply.acpted_rply.ar_stat = PROG_MISMATCH;
      reply.acpted_rply.ar_vers.low = program.version;
      reply.acpted_rply.ar_vers.high = program.version;
    } else if (call.rm_call.cb_proc != NULLPROC) {
      for (size_t i = 0; i < program.count; ++i)
        if (program.procedures[i].number == call.rm_call.cb_proc) procedure = &program.procedures[i];
      if (!procedure) reply.acpted_rply.ar_stat = PROC_UNAVAIL;
    }
    if (!procedure) {
      if (!SendReply(&xdrs, &reply)) ended = "closed: cannot send a reply";
      continue;
    }
    Arguments args;
    Results result;
    std::memset(&args, 0, sizeof args);
    std::memset(&result, 0, sizeof result);
    if (!LengthFits(record, xdr_getpos(&in), procedure->lengthAt) || !procedure->args(&in, &args)) {
      xdr_free(procedure->args, reinterpret_cast<char*>(&args));
      reply.acpted_rply.ar_stat = GARBAGE_ARGS;
      if (!SendReply(&xdrs, &reply)) ended = "closed: cannot send a reply";
      continue;
    }
    LogVerbose(*connection, procedure->name);
    procedure->serve(connection, &args, &result);
    xdr_free(procedure->args, reinterpret_cast<char*>(&args));
    // The result's data belongs to the procedure's buffers: it is sent, not freed.
    reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(&result);
    reply.acpted_rply.ar_results.proc = procedure->result;
    if (!SendReply(&xdrs, &reply)) ended = "closed: cannot send a reply";
  }
  xdr_destroy(&xdrs);
  return ended;
}

}  // namespace gateway
