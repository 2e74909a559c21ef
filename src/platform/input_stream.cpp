// Byte-wise input from standard input and from files, read in large blocks.
#include "platform/input_stream.h"

#include <fcntl.h>
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
}  // namespace

InputStream* StandardInput() { return &standardInput; }

InputStream* OpenTextFile(const char* path) {
  if (!path) return nullptr;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
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
