// Console title and standard output on a Linux terminal.
#include "platform/console.h"

#include <unistd.h>

#include <cstdio>
#include <string>

void SetConsoleTitle(const char* title) {
  if (!isatty(STDOUT_FILENO)) return;
  std::string text = "\x1b]0;";
  for (const char* p = title ? title : ""; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    text += (c < 0x20 || c == 0x7F) ? '?' : *p;
  }
  text += '\a';
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void InitConsoleOutput() {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

void ShowErrorMessage(const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text);
}
