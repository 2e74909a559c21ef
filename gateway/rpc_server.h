// The RPC service of one connection: ONC RPC calls read as records from a
// stream (libtirpc's xdrrec), decoded and encoded by rpcgen's routines, each
// served on this thread before the next is read.
#pragma once

#include <memory>
#include <string>

#include "connection.h"

namespace gateway {

// A byte stream: read and write as xdrrec calls them (bytes moved, or -1
// at its end or on an error).
struct Stream {
  void* context;
  int (*read)(void* context, void* buffer, int length);
  int (*write)(void* context, void* buffer, int length);
};

enum class Channel { kCore, kAbort };

// Serves calls of the channel's program until the stream ends or sends
// something that is not an RPC call; returns why it ended, for the log.
std::string ServeCalls(const std::shared_ptr<Connection>& connection, Channel channel, Stream stream);

}  // namespace gateway
