// vorel-gateway: serves the boards of the bus to VXI-11 clients.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "links.h"
#include "log.h"
#include "options.h"
#include "portmapper.h"
#include "server.h"
#include "srq.h"

using namespace gateway;

int main(int argc, char** argv) {
  Options options;
  std::string problem;
  if (!ParseOptions(argc, argv, &options, &problem)) {
    Log(problem);
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.bus.empty()) setenv("VOREL_BUS", options.bus.c_str(), 1);
  if (options.allow.empty()) {
    Network loopback;
    ParseNetwork("127.0.0.0/8", &loopback);
    options.allow.push_back(loopback);
  }
  verbose = options.verbose;
  maxRecvSize = options.maxRecv;

  // Every thread inherits the blocked signals; Serve reads them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Listeners listeners;
  if (!OpenListeners(options.listen, &listeners, &problem)) {
    Log(problem);
    return 1;
  }
  abortPort = listeners.abortPort;
  if (OpenBoards() == 0) {
    Log("no board of the bus can be opened: check the bus file with vorel-bus");
    return 1;
  }
  if (!RegisterCore(listeners.corePort, &problem)) {
    Log(problem);
    return 1;
  }
  Log("serving the bus on " + options.listen + ", port " + std::to_string(listeners.corePort) +
      " (abort channel " + std::to_string(listeners.abortPort) + ")");
  Serve(listeners, options.allow);
  StopSrqWatchers();
  UnregisterCore();
  Log("stopped");
  return 0;
}
