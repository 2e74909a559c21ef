// Files of ibrdf and ibwrtf, opened without blocking on a FIFO that has no
// peer, read with a cap and written without SIGPIPE.
#include "user_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace vexon {

namespace {

// Opens without blocking (a FIFO has no peer yet), refuses a directory or a
// socket, then makes reads and writes block as usual.
int OpenFile(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || S_ISSOCK(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Holds SIGPIPE back from this thread while a write runs, and takes away one
// that the write raised, so a FIFO whose reader left fails with EPIPE instead
// of ending the program that called the driver.
class PipeSignalHeld {
 public:
  PipeSignalHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
  }
  ~PipeSignalHeld() {
    if (!alreadyPending_) {
      const timespec now{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }

 private:
  sigset_t pipe_, saved_;
  bool alreadyPending_ = false;
};

}  // namespace

bool ReadWholeFile(const std::string& path, size_t limit, std::string& data) {
  int fd = OpenFile(path, O_RDONLY);
  if (fd < 0) return false;
  data.clear();
  char chunk[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (data.size() + static_cast<size_t>(n) > limit) {
      ok = false;
      break;
    }
    data.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return ok;
}

OutputFile::OutputFile(const std::string& path) : fd_(OpenFile(path, O_WRONLY | O_CREAT | O_TRUNC)) {}

OutputFile::~OutputFile() { close(); }

bool OutputFile::write(const void* data, size_t n) {
  if (fd_ < 0) return false;
  PipeSignalHeld held;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool OutputFile::close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

}  // namespace vexon
