// The input streams of the fuzzing build: whole sessions come from memory,
// so no file of the machine is ever read as a command file.
#include "memory_input.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/input_stream.h"

struct InputStream {
  std::string_view bytes;
  size_t next = 0;
};

namespace {
std::vector<std::string_view> sections;
InputStream standardInput;
std::vector<InputStream*> openFiles;
// Line ends still to be handed out across all streams; a session whose
// command files run themselves again and again ends when it is spent.
int linesLeft = 0;
}  // namespace

void SetMemoryInput(const uint8_t* data, size_t size, int lineBudget) {
  CloseMemoryInput();
  sections.clear();
  std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::string_view mark(reinterpret_cast<const char*>(kSectionMark), sizeof kSectionMark);
  for (;;) {
    size_t at = all.find(mark);
    sections.push_back(all.substr(0, at));
    if (at == std::string_view::npos) break;
    all.remove_prefix(at + mark.size());
  }
  standardInput = InputStream{sections[0], 0};
  linesLeft = lineBudget;
}

void CloseMemoryInput() {
  for (InputStream* s : openFiles) delete s;
  openFiles.clear();
}

InputStream* StandardInput() { return &standardInput; }

InputStream* OpenTextFile(const char* path) {
  if (!path) return nullptr;
  char* end = nullptr;
  long k = std::strtol(path, &end, 10);
  if (end == path || *end != 0 || k < 1 || k >= static_cast<long>(sections.size())) return nullptr;
  auto* s = new InputStream{sections[static_cast<size_t>(k)], 0};
  openFiles.push_back(s);
  return s;
}

void CloseTextFile(InputStream* s) {
  auto it = std::find(openFiles.begin(), openFiles.end(), s);
  if (it == openFiles.end()) return;
  openFiles.erase(it);
  delete s;
}

int ReadInputByte(InputStream* s) {
  if (!s || s->next >= s->bytes.size() || linesLeft <= 0) return -1;
  unsigned char c = static_cast<unsigned char>(s->bytes[s->next++]);
  if (c == '\n') --linesLeft;
  return c;
}

bool IsStandardInput(const InputStream* s) { return s == &standardInput; }
