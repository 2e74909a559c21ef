// One board's conversation with a VXI-11 server: the core connection, the
// links made on it, the abort channel beside it, and every core call the
// back end makes. Knows nothing of handles or status words.
#pragma once
#include <rpc/rpc.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace vexon::vxi11 {

// How a call to the server went.
struct Reply {
  enum Kind { Ok, Refused, Lost };
  Kind kind = Ok;
  long error = 0;    // the server's error code when Refused
  int sysError = 0;  // the system error when Lost (or the connection could not be made)
  bool ok() const { return kind == Ok; }
};

// Error codes of the protocol that the back end treats on their own.
enum : long {
  kSyntaxError = 1,
  kNotAccessible = 3,
  kInvalidLink = 4,
  kParameterError = 5,
  kNotSupported = 8,
  kLocked = 11,
  kNoLockHeld = 12,
  kIoTimeout = 15,
  kInvalidAddress = 21,
  kAborted = 23,
};

// A link of the server's. Made on one connection; a link of an earlier
// connection is made again before it is used.
struct Link {
  std::string name;
  long lid = 0;
  long generation = -1;  // the connection it was made on; -1: none
};

// Why a read ended, ORed.
enum : long { kReasonReqCnt = 0x01, kReasonChr = 0x02, kReasonEnd = 0x04 };

// Timeouts in milliseconds; kForever waits without end.
constexpr uint32_t kForever = 0xFFFFFFFF;

// The calls that take Device_GenericParms.
enum class Generic { Trigger, Clear, Remote, Local };

// docmd commands of a GPIB interface link.
enum : long {
  kCmdSendCommand = 0x020000,
  kCmdBusStatus = 0x020001,
  kCmdAtn = 0x020002,
  kCmdRen = 0x020003,
  kCmdPassControl = 0x020004,
  kCmdBusAddress = 0x02000A,
  kCmdIfc = 0x020010,
};
// Bus status queries.
enum : int { kStatusRen = 1, kStatusSrq = 2, kStatusNdac = 3, kStatusCic = 5, kStatusBusAddress = 8 };

class Session {
 public:
  Session(int board, std::string host, int connectTimeoutS);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Held for every call below except Abort.
  std::mutex& lock() { return lock_; }

  // Connects when there is no connection. Lost with the system error when
  // the server cannot be reached.
  Reply Connect();
  // Connects and makes the link on this connection unless it is there.
  Reply Open(Link& link);
  // Destroys the link if it is open on this connection.
  void Close(Link& link);
  // Drops the connection: every link and the interrupt channel go with it.
  void Drop();
  // Connections made so far; a link of an older one is gone.
  long generation() const { return generation_; }
  bool connected() const { return core_ != nullptr; }

  // device_write, split at the server's maxRecvSize, END on the last part
  // when end is true. written counts what the server took.
  Reply Write(Link& link, const void* data, size_t n, bool end, uint32_t timeoutMs, size_t& written);
  // device_read until count bytes, END, the term char (termChar < 0: none)
  // or the timeout. reason: the last read's reason bits.
  Reply Read(Link& link, void* data, size_t count, int termChar, uint32_t timeoutMs, size_t& got,
             long& reason);
  Reply ReadStb(Link& link, uint32_t timeoutMs, uint8_t& stb);
  Reply Call(Link& link, Generic which, uint32_t timeoutMs);
  Reply Lock(Link& link, bool wait, uint32_t lockTimeoutMs);
  Reply Unlock(Link& link);
  // device_docmd with size-byte values in network order; out: the answer.
  Reply Docmd(Link& link, long cmd, const void* in, size_t n, long datasize, uint32_t timeoutMs,
              std::string* out);
  // The bus status query `what` (kStatusRen, ...) of an interface link.
  Reply BusStatus(Link& link, int what, bool& value);
  Reply BusStatus(Link& link, int what, int& value);
  // create_intr_chan to a server of ours listening on port, on the local
  // address of the core connection (localAddress gives it).
  Reply CreateInterruptChannel(uint32_t hostAddr, uint16_t port);
  Reply EnableSrq(Link& link, bool on, const std::string& handle);
  // The local IPv4 address of the core connection, in host order; 0 when
  // there is none or it is not IPv4.
  uint32_t localAddress() const;

  // device_abort on the abort channel: ends the link's call in progress.
  // Needs no lock; a connection being made or dropped makes it a no-op.
  Reply Abort(long lid);

  const std::string& host() const { return host_; }
  int board() const { return board_; }

 private:
  template <class Params, class Result>
  Reply CallCore(enum clnt_stat (*stub)(Params*, Result*, CLIENT*), Params& p, Result& r,
                 uint64_t timeoutMs);
  Reply LostConnection(enum clnt_stat status);

  std::mutex lock_;
  const int board_;
  const std::string host_;
  const int connectTimeoutS_;
  CLIENT* core_ = nullptr;
  long generation_ = 0;
  unsigned long maxRecvSize_ = 1024;
  int abortPort_ = 0;  // from the last create_link

  std::mutex abortLock_;  // the abort channel's own
  CLIENT* abort_ = nullptr;
  long abortGeneration_ = -1;
  long abortFor_ = -1;        // the connection the next abort goes to
  std::string serverAddress_; // the core connection's peer, for the abort channel
};

// The protocol's name of an error code, for messages.
const char* ErrorName(long code);

}  // namespace vexon::vxi11
