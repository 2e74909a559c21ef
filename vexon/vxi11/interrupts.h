// The back end's own RPC server for the interrupt channel: the VXI-11
// server connects to it and sends device_intr_srq when SRQ rises on its
// bus. Each notice is counted; waiters wake on the count.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace vexon::vxi11 {

class InterruptServer {
 public:
  InterruptServer() = default;
  ~InterruptServer() { Stop(); }
  InterruptServer(const InterruptServer&) = delete;
  InterruptServer& operator=(const InterruptServer&) = delete;

  // Listens on the IPv4 address (host order) with a port the system picks;
  // false with errno set when it cannot. Does nothing when running.
  bool Start(uint32_t address);
  // Closes the listener and every channel, and wakes every waiter.
  void Stop();
  bool running() const { return listenFd_ >= 0; }
  uint32_t address() const { return address_; }
  uint16_t port() const { return port_; }

  // Notices received so far.
  long count();
  // Waits until more than `seen` notices came, for at most timeoutMs (-1:
  // without end) or until Cancel; returns the count then.
  long WaitBeyond(long seen, int timeoutMs);
  // Wakes the waiters as a notice would, without counting one.
  void Cancel();

 private:
  struct Channel {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void Accept();
  void Serve(Channel& c);

  std::mutex lock_;
  std::condition_variable changed_;
  long count_ = 0;
  long cancels_ = 0;
  int listenFd_ = -1;
  uint32_t address_ = 0;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::list<std::unique_ptr<Channel>> channels_;  // under lock_
};

}  // namespace vexon::vxi11
