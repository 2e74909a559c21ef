// The buffer display, hex dump, listener list and address result tables.
// Large reads are formatted a whole block of lines at a time, not per byte.
#include "display/buffer_display.h"

#include <cstddef>
#include <cstring>

#include "core/print.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "platform/interrupt.h"

int32_t displayMode = DISPLAY_FULL;

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr size_t kChunk = 1 << 16;

bool Printable(uint8_t b) { return b >= 0x20 && b <= 0x7E; }

// Collects output and hands it to ConsoleOutput in large pieces.
class OutputBlock {
 public:
  void Append(const char* text, size_t n) {
    if (used_ + n > sizeof(buffer_)) Flush();
    std::memcpy(buffer_ + used_, text, n);
    used_ += n;
  }
  char* Reserve(size_t n) {
    if (used_ + n > sizeof(buffer_)) Flush();
    return buffer_ + used_;
  }
  void Commit(size_t n) { used_ += n; }
  // Ctrl-C ends a long display: nothing more is printed.
  bool Stopped() const { return InterruptRequested(); }
  void Flush() {
    if (used_ && !Stopped()) ConsoleOutput("%.*s", static_cast<int>(used_), buffer_);
    used_ = 0;
  }
  ~OutputBlock() { Flush(); }

 private:
  char buffer_[kChunk];
  size_t used_ = 0;
};

// One hex dump line of up to 8 bytes; returns its length (59 for a full row).
size_t FormatHexLine(const uint8_t* bytes, size_t n, char* out) {
  char* p = out;
  for (size_t i = 0; i < 8; ++i) {
    if (i < n) {
      *p++ = kHex[bytes[i] >> 4];
      *p++ = kHex[bytes[i] & 15];
    } else {
      *p++ = ' ';
      *p++ = ' ';
    }
    *p++ = ' ';
    *p++ = ' ';
  }
  std::memset(p, ' ', 8);
  p += 8;
  for (size_t i = 0; i < n; ++i) {
    *p++ = Printable(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
    *p++ = ' ';
  }
  *p++ = '\n';
  return static_cast<size_t>(p - out);
}

void HexDumpInto(OutputBlock& block, const uint8_t* bytes, size_t length) {
  for (size_t at = 0; at < length && !(at % kChunk == 0 && block.Stopped()); at += 8) {
    size_t n = length - at < 8 ? length - at : 8;
    char* line = block.Reserve(64);
    block.Commit(FormatHexLine(bytes + at, n, line));
  }
}

void AsciiDisplay(const uint8_t* bytes, size_t length) {
  OutputBlock block;
  block.Append("buffer:", 7);
  for (size_t i = 0; i < length && !(i % kChunk == 0 && block.Stopped()); ++i) {
    if (i % 32 == 0)
      block.Append("\n          ", 11);
    else if (i % 16 == 0)
      block.Append(" ", 1);
    char c = Printable(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
    block.Append(&c, 1);
  }
  block.Append("\n", 1);
}

}  // namespace

void HexDump(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length == 0) return;
  OutputBlock block;
  HexDumpInto(block, bytes, length);
}

void ShowBuffer(const uint8_t* bytes, uint32_t length) {
  if ((ibsta & ERR) && (iberr == ECAP || iberr == EDVR || iberr == ELCK)) return;
  if (!bytes) length = 0;
  switch (displayMode) {
    case DISPLAY_OFF:
      ConsoleOutput("buffer: (off)\n");
      break;
    case DISPLAY_ASCII:
      AsciiDisplay(bytes, length);
      break;
    case DISPLAY_FULL:
      HexDump(bytes, length);
      break;
    case DISPLAY_BRIEF:
      if (length > 16) {
        HexDump(bytes, 8);
        ConsolePrint("... <%ld %s> ...\n", static_cast<long>(length - 16), "bytes omitted");
        HexDump(bytes + length - 8, 8);
      } else {
        HexDump(bytes, length);
      }
      break;
    default:
      break;
  }
}

void ShowListeners(const uint16_t* results, uint32_t count, uint32_t capacity) {
  ConsoleOutput("%s :", "Listeners");
  if (count == 0 || !results) {
    ConsoleOutput(" No Listeners Found\n");
    return;
  }
  // A count beyond the array shows the whole array and no more.
  if (count > capacity) count = capacity;
  for (uint32_t i = 0; i < count; ++i) {
    ConsoleOutput("  %3d", results[i] & 0xFF);
    if (results[i] >> 8) ConsoleOutput(",%3d", results[i] >> 8);
    ConsoleOutput("\n           ");
  }
  ConsoleOutput("\n");
}

namespace {
void AddressResultLine(uint16_t address, uint16_t result) {
  ConsoleOutput("  %3d", address & 0xFF);
  if (address >> 8)
    ConsoleOutput(",%3d", address >> 8);
  else
    ConsoleOutput("    ");
  int32_t signedResult = static_cast<int16_t>(result);
  ConsoleOutput("     => 0x%4.4x  (decimal : %d)\n", static_cast<unsigned>(signedResult), signedResult);
}
}  // namespace

void ShowAddressResults(const char* title, const uint16_t* addresses, const uint16_t* results,
                        int32_t index, uint32_t capacity) {
  ConsolePrint("%s:\n", title);
  if (addresses && results) {
    if (index == -1) {
      for (uint32_t i = 0; i < capacity && addresses[i] != NOADDR; ++i)
        AddressResultLine(addresses[i], results[i]);
    } else if (index >= 0 && static_cast<uint32_t>(index) < capacity && addresses[index] != NOADDR) {
      AddressResultLine(addresses[index], results[0]);
    }
  }
  ConsoleOutput("\n");
}
