// The history file: plain lines, appended one write at a time under an
// flock, and cut to its last lines by writing a new file and renaming it.
#include "platform/history_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string Reason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

// Opens path and takes its lock. Another vorel may have replaced the file
// while this one waited for the lock; then the new file is opened instead.
// Each replacement is a cut that another vorel finished, so this ends.
int OpenLocked(const std::string& path, int flags) {
  for (;;) {
    int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat held, named;
    if (flock(fd, LOCK_EX) != 0 || fstat(fd, &held) != 0) {
      const int error = errno;
      close(fd);
      errno = error;
      return -1;
    }
    if (stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev)
      return fd;
    close(fd);
  }
}

bool ReadAll(int fd, std::string& text) {
  char block[1 << 16];
  for (;;) {
    ssize_t n = read(fd, block, sizeof block);
    if (n > 0) {
      text.append(block, static_cast<size_t>(n));
    } else if (n == 0) {
      return true;
    } else if (errno != EINTR) {
      return false;
    }
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Replaces the file with lines; the caller holds the old file's lock.
bool Rewrite(const std::string& path, const std::vector<std::string>& lines) {
  const std::string temporary = path + "." + std::to_string(getpid());
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  bool ok = WriteAll(fd, text);
  ok = close(fd) == 0 && ok;
  if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
  const int error = errno;
  unlink(temporary.c_str());
  errno = error;
  return false;
}

}  // namespace

std::string HistoryFilePath(const char* stateHome, const char* home) {
  // A relative XDG_STATE_HOME is ignored, as the XDG rules ask.
  if (stateHome && stateHome[0] == '/') return std::string(stateHome) + "/vorel/history";
  if (home && home[0]) return std::string(home) + "/.local/state/vorel/history";
  return {};
}

bool LoadHistoryFile(const std::string& path, size_t keep, std::vector<std::string>& lines, std::string& error) {
  lines.clear();
  std::error_code failed;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::filesystem::create_directories(folder, failed);
  if (failed) {
    error = folder.string() + ": " + failed.message();
    return false;
  }
  int fd = OpenLocked(path, O_RDWR | O_CREAT);
  if (fd < 0) {
    error = Reason(path, errno);
    return false;
  }
  std::string text;
  bool ok = ReadAll(fd, text);
  int readError = errno;
  size_t total = 0;
  if (ok) {
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      lines.emplace_back(text, start, end - start);
      ++total;
      start = end + 1;
    }
    if (lines.size() > keep) lines.erase(lines.begin(), lines.end() - static_cast<long>(keep));
    // A file that cannot be cut still gives its lines.
    if (total > keep && !Rewrite(path, lines)) {
      ok = false;
      readError = errno;
    }
  }
  close(fd);
  if (!ok) error = Reason(path, readError);
  return ok;
}

bool AppendHistoryLine(const std::string& path, const std::string& line, std::string& error) {
  int fd = OpenLocked(path, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) {
    error = Reason(path, errno);
    return false;
  }
  bool ok = WriteAll(fd, line + '\n');
  const int writeError = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) error = Reason(path, writeError);
  return ok;
}
