// Finding and loading the bus file. Every failure, whatever threw it, ends
// here as one message and the status of the call.
#include "bus_loader.h"

#include <sys/stat.h>

#include <cstdlib>
#include <new>

#include <vexon.h>
#include "bus_file.h"
#include "status.h"

namespace vexon {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

}  // namespace

BusSource FindBusSource() {
  if (const char* bus = Env("VOREL_BUS")) return {bus, "named by VOREL_BUS"};
  std::string user;
  if (const char* config = Env("XDG_CONFIG_HOME")) user = std::string(config) + "/vorel/bus.yaml";
  else if (const char* home = Env("HOME")) user = std::string(home) + "/.config/vorel/bus.yaml";
  if (!user.empty() && Exists(user)) return {user, "the user's bus file"};
  if (Exists("/etc/vorel/bus.yaml")) return {"/etc/vorel/bus.yaml", "the system's bus file"};
  return {"", "no VOREL_BUS, no " + (user.empty() ? std::string("user's bus file") : user) +
                  ", no /etc/vorel/bus.yaml"};
}

bool LoadBusFile(const std::string& path, BusConfig& bus, std::string& message, int& error) {
  try {
    std::string text, reason;
    if (!ReadTextFile(path, text, error, reason)) {
      message = path + ": cannot read: " + reason;
      return false;
    }
    error = 0;
    ReadBusFile(text, path, bus);
    return true;
  } catch (const BusFileError& e) {
    message = e.file + ":";
    if (e.line > 0) message += std::to_string(e.line) + ":" + std::to_string(e.column) + ":";
    message += " " + e.what;
  } catch (const std::bad_alloc&) {
    message = path + ": too large to read";
  } catch (const std::exception& e) {
    message = path + ": " + e.what();
  }
  return false;
}

bool LoadBus(BusConfig& bus) {
  try {
    const BusSource source = FindBusSource();
    if (source.path.empty()) {
      bus = DefaultBus();
      return true;
    }
    std::string message;
    int error = 0;
    if (LoadBusFile(source.path, bus, message, error)) return true;
    ReportProblem(message);
    Fail(0, EDVR, error);
  } catch (...) {
    Fail(0, EDVR, 0);
  }
  return false;
}

}  // namespace vexon
