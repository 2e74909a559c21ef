// Runs the adapter emulator as a child process for a test: a TCP port and a
// pseudo-terminal link, each waited for with a bound.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

class EmulatorProcess {
 public:
  // Starts the emulator with its files in folder dir and the options args
  // ("--ar488", ...). False when it did not come up within a few seconds.
  bool Start(const std::string& dir, const std::vector<std::string>& args);
  void Stop();
  ~EmulatorProcess() { Stop(); }

  // Drops every connection (SIGUSR1) and waits until the emulator has.
  bool Drop();
  // Sets a fault ("late 3500", "reset", ...) and waits until it is set.
  bool Emulate(const std::string& fault);
  // Lines the emulator received so far.
  int LinesLogged() const;
  std::string LastLines(int n) const;

  int port = 0;
  std::string ptyLink, log;

 private:
  pid_t pid_ = -1;
};
