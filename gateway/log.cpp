// The gateway's log on standard error.
#include "log.h"

#include <cstdio>
#include <mutex>

namespace gateway {

bool verbose = false;
bool quiet = false;

void Log(const std::string& text) {
  if (quiet) return;
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  std::fprintf(stderr, "vorel-gateway: %s\n", text.c_str());
  std::fflush(stderr);
}

void LogConnection(const Connection& connection, const std::string& what) {
  Log(connection.peer + " " + what);
}

void LogFailure(const Connection& connection, const std::string& what) {
  Log(connection.peer + ": " + what);
}

void LogVerbose(const Connection& connection, const std::string& what) {
  if (verbose) Log(connection.peer + ": " + what);
}

}  // namespace gateway
