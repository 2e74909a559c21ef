// A VXI-11 client for the gateway's tests, over rpcgen's client calls of
// vxi11.x: what pyvisa-py and lxi-tools never send (docmd, waitlock, the
// abort and interrupt channels, network order) and many clients at once.
#pragma once

#include <rpc/rpc.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "vxi11.h"

// One core connection, found through the portmapper.
struct Vxi11Client {
  CLIENT* core = nullptr;
  unsigned short abortPort = 0;

  Vxi11Client();
  ~Vxi11Client();
  // Closes the connection at once, as a client that goes away does.
  void Drop();

  Create_LinkResp Link(const std::string& name, bool lock = false, unsigned long lockTimeout = 0);
  long Write(long lid, const std::string& data, long flags = 0x08, unsigned long lockTimeout = 0);
  // Reads up to `size` bytes; the error, with the reason and data out.
  long Read(long lid, unsigned long size, std::string* data, long* reason = nullptr, long flags = 0,
            char termChar = 0, unsigned long ioTimeout = 1000);
  long ReadStb(long lid, unsigned char* stb);
  long Generic(long lid, int procedure);  // trigger, clear, remote, local
  long Lock(long lid, long flags, unsigned long lockTimeout);
  long Unlock(long lid);
  long Destroy(long lid);
  long Docmd(long lid, long cmd, bool networkOrder, long datasize, const std::string& in, std::string* out);
  long EnableSrq(long lid, bool enable, const std::string& handle);
  long CreateIntrChan(unsigned short port);
  long DestroyIntrChan();
};

// device_abort over the abort channel at `port`.
long Abort(unsigned short port, long lid);

// The client's interrupt channel: a TCP server that collects the handles of
// the device_intr_srq calls it receives.
struct InterruptServer {
  int listener = -1;
  std::atomic<int> connection{-1};
  unsigned short port = 0;
  std::thread thread;
  std::mutex lock;
  std::condition_variable arrived;
  std::deque<std::string> handles;

  InterruptServer();
  ~InterruptServer();
  // The next handle received within `ms`, or "" when none came.
  std::string Next(int ms);
};
