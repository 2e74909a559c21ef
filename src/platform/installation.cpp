// The installation path, found relative to the running executable. The build
// tree has the layout of an installation, so both are found the same way.
#include "platform/installation.h"

#include <unistd.h>

#include <cstring>
#include <string>

namespace {
// Beside the executable's directory (the executable's path has its links
// resolved, so its parent is the installation's prefix).
constexpr const char kDataDirectory[] = "/share/vorel/";
}  // namespace

std::string ExecutableDirectory() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof path)) return {};
  std::string exe(path, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return {};
  return exe.substr(0, slash);
}

bool InstallationPath(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return false;
  buffer[0] = 0;
  const std::string directory = ExecutableDirectory();
  const size_t slash = directory.rfind('/');
  if (directory.empty() || slash == std::string::npos) return false;
  const std::string path = directory.substr(0, slash) + kDataDirectory;
  if (path.size() + 1 > static_cast<size_t>(size)) return false;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return true;
}
