// Fuzz target: whole input sessions through the real command loop, on the
// simulated bus linked into the same process.
//
// An input is standard input, optionally followed by command files: sections
// separated by the bytes 01 02, the files named "1", "2", ... ("$ 1" runs the
// first). An input that starts with the byte 03 runs in expert mode.
#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "console/command_loop.h"
#include "core/print.h"
#include "display/buffer_display.h"
#include "driver/gpib.h"
#include "driver/library_loader.h"
#include "driver/status_copies.h"
#include "exec/async_calls.h"
#include "core/mode_flags.h"
#include "memory_input.h"
#include "platform/input_stream.h"
#include "registry/handle_registry.h"
#include "session_end.h"
#include "../vexon/router/driver_api.h"
#include "../vexon/router/router.h"


namespace {

// The driver library is the simulated bus in this process.
struct Entry {
  const char* name;
  void* address;
};
#define ENTRY(name, ret, params) {#name, reinterpret_cast<void*>(&name)},
const Entry kEntries[] = {VOREL_DRIVER_FUNCTIONS(ENTRY){"Ibsta", reinterpret_cast<void*>(&Ibsta)},
                          {"Iberr", reinterpret_cast<void*>(&Iberr)},
                          {"Ibcnt", reinterpret_cast<void*>(&Ibcnt)}};
#undef ENTRY

int lastError = 0;
char libraryToken;

void* LoadByName(const char* name) {
  if (std::strcmp(name, "libvexon.so") == 0) return &libraryToken;
  lastError = 126;
  return nullptr;
}
void* LoadByPath(const char*) {
  lastError = 126;
  return nullptr;
}
void* FindSymbol(void*, const char* name) {
  for (const Entry& e : kEntries)
    if (std::strcmp(e.name, name) == 0) return e.address;
  lastError = 127;
  return nullptr;
}
void FreeLibrary(void*) {}
int LastError() { return lastError; }
bool SystemDirectory(char* buffer, int size) { return std::snprintf(buffer, size, "/nonexistent") < size; }
void AtExit(void (*)()) {}

const LoaderPlatform kInProcess = {LoadByName, LoadByPath, FindSymbol, FreeLibrary,
                                   LastError,  SystemDirectory, AtExit};

// Inputs whose run time is set by their numbers rather than by what they
// exercise are passed over: a number above 0xFFFF anywhere, or a repeat
// prefix above 8. Without this the fuzzer spends its time copying megabytes.
bool TooCostly(std::string_view input) {
  const std::string text(input);  // zero-terminated for strtoul
  const char* const end = text.c_str() + text.size();
  bool lineStart = true;
  for (const char* p = text.c_str(); p < end;) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) {
      if (*p == '\n') lineStart = true;
      else if (!std::isspace(static_cast<unsigned char>(*p))) lineStart = false;
      ++p;
      continue;
    }
    const bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    char* after = nullptr;
    const unsigned long value = std::strtoul(p, &after, hex ? 16 : 10);  // saturates
    if (value > 0xFFFF) return true;
    const char* q = after;
    while (q < end && (*q == ' ' || *q == '\t')) ++q;
    if (lineStart && q < end && *q == '*' && value > 8) return true;
    lineStart = false;
    p = after > p ? after : p + 1;
  }
  return false;
}

void StartSession() {
  ResetRegistry();
  expertMode = rawMode = slopCheck = oddBuffers = 0;
  quietMode = 0;
  displayMode = DISPLAY_FULL;
  ibsta = iberr = ibcnt = ibcntl = 0;
}

// What the real program would leave to the end of the process.
void EndSession() {
  vexon::ResetRouter();  // no transfer writes into a slot from here on
  for (AsyncSlot& slot : asyncSlots)
    if (slot.buffer) FreeAsyncSlot(slot);
  CloseMemoryInput();
  ResetRegistry();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) return 1;
  mkdir(VOREL_SIM_FILE_ROOT, 0700);
  SetLoaderPlatform(&kInProcess);
  vexon::UseBus(vexon::DefaultBus());  // whatever bus file the machine has
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (TooCostly(std::string_view(reinterpret_cast<const char*>(data), size))) return -1;
  StartSession();
  if (size > 0 && data[0] == 0x03) {
    expertMode = 1;
    ++data;
    --size;
  }
  SetMemoryInput(data, size, 500);
  try {
    CommandLoop(StandardInput());
  } catch (const SessionEnded&) {
  }
  EndSession();
  return 0;
}
