// Byte-wise input from standard input and from files, read in large blocks.
#include "platform/input_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

struct InputStream {
  int fd;
  unsigned char buffer[1 << 16];
  ssize_t size;
  ssize_t next;
  bool ended;
};

namespace {
InputStream standardInput{0, {}, 0, 0, false};

bool Refill(InputStream* s) {
  // Prompts must reach whoever drives us before we wait for their answer;
  // a script already in the buffer is read without a flush per line.
  if (s == &standardInput) std::fflush(stdout);
  for (;;) {
    ssize_t n = read(s->fd, s->buffer, sizeof s->buffer);
    if (n > 0) {
      s->size = n;
      s->next = 0;
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    s->ended = true;
    return false;
  }
}

// What a command file may be: a regular file, a pipe (bash's <(...) passes one
// as /dev/fd/N) or a terminal. A directory, a socket or another device (one
// that never ends, such as /dev/zero) is refused like a missing file.
bool Acceptable(mode_t mode) { return S_ISREG(mode) || S_ISFIFO(mode) || S_ISCHR(mode); }
bool Readable(const struct stat& st, int fd) {
  return S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || (S_ISCHR(st.st_mode) && isatty(fd));
}
}  // namespace

InputStream* StandardInput() { return &standardInput; }

InputStream* OpenTextFile(const char* path) {
  struct stat st;
  // Only what may be read is opened (opening some devices has effects); a
  // character device is opened to ask whether it is a terminal.
  if (!path || stat(path, &st) != 0 || !Acceptable(st.st_mode)) return nullptr;
  // Non-blocking, so that a FIFO nobody writes to yet opens at once (and reads
  // as empty) instead of waiting in open(); reads block again afterwards.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return nullptr;
  if (fstat(fd, &st) != 0 || !Readable(st, fd) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  InputStream* s = new (std::nothrow) InputStream{fd, {}, 0, 0, false};
  if (!s) close(fd);
  return s;
}

void CloseTextFile(InputStream* s) {
  if (!s || s == &standardInput) return;
  close(s->fd);
  delete s;
}

int ReadInputByte(InputStream* s) {
  if (!s || s->ended) return -1;
  if (s->next >= s->size && !Refill(s)) return -1;
  return s->buffer[s->next++];
}

bool IsStandardInput(const InputStream* s) { return s == &standardInput; }
