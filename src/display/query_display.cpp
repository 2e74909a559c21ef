// Displays of queried values: settings, poll bytes, line states, ibexpert results.
#include "display/query_display.h"

#include <cstring>

#include "core/print.h"
#include "driver/gpib.h"

namespace {

struct LineRow {
  const char* name;
  uint16_t mask;
};

// Bus lines in display order; the end row has no name.
constexpr LineRow kBusLines[] = {
    {"EOI", 0x8000}, {"ATN", 0x4000}, {"SRQ", 0x2000}, {"REN", 0x1000},
    {"IFC", 0x0800}, {"NRFD", 0x0400}, {"NDAC", 0x0200}, {"DAV", 0x0100},
    {nullptr, 0xFFFF},
};

const char* LineName(uint16_t bit) {
  for (const LineRow* row = kBusLines; row->name; ++row)
    if (row->mask == bit) return row->name;
  return nullptr;
}

uint32_t Word32(const uint8_t* data) {
  uint32_t w = 0;
  if (data) std::memcpy(&w, data, sizeof w);
  return w;
}

uint16_t Word16(const uint8_t* data) {
  uint16_t w = 0;
  if (data) std::memcpy(&w, data, sizeof w);
  return w;
}

// The zero-ended text in data, never read past size bytes.
void PrintText(const char* format, const uint8_t* data, uint32_t size) {
  int n = 0;
  if (data)
    while (static_cast<uint32_t>(n) < size && data[n]) ++n;
  char text[512];
  if (n > static_cast<int>(sizeof text) - 1) n = sizeof text - 1;
  if (n) std::memcpy(text, data, n);
  text[n] = 0;
  ConsoleOutput(format, text);
}

}  // namespace

void ShowPreviousValue(int32_t previous) { ConsoleOutput("%s: %d\n", "previous value", previous); }

void ShowSrqLine(const uint8_t* data) {
  ConsoleOutput("%s\n", data && data[0] ? "SRQ line is asserted" : "SRQ line is not asserted");
}

void ShowPollByte(const uint8_t* data) {
  unsigned b = data ? data[0] : 0;
  ConsoleOutput("%s:  0x%x (decimal:%d)\n", "Poll", b, b);
}

void ShowListenState(const uint8_t* data) {
  ConsoleOutput("Listen:  %s\n", Word16(data) ? "TRUE" : "FALSE");
}

void ShowCurrentValue(const uint8_t* data) {
  uint32_t v = Word32(data);
  ConsoleOutput("%s:  0x%x (decimal:%u)\n", "Current Value", v, v);
}

void ShowPreviousBoard(int32_t board) {
  if (board == -1)
    ConsoleOutput("%s None\n", "Previous access board was");
  else
    ConsoleOutput("%s GPIB%d\n", "Previous access board was", board);
}

void ShowBusLines(uint16_t w) {
  ConsoleOutput("%s: [%04x] ( ", "    GPIB Lines", w);
  for (uint16_t bit = 0x8000; bit >= 0x0100; bit >>= 1)
    if ((w & bit) && (w & (bit >> 8))) ConsoleOutput("%s ", LineName(bit));
  ConsoleOutput(")\n");
  if ((w & 0xFF) != 0xFF) {
    ConsoleOutput("%s:\n        ( ", "    The state of the following GPIB Lines are unknown");
    for (uint16_t bit = 0x8000; bit >= 0x0100; bit >>= 1)
      if (!(w & (bit >> 8))) ConsoleOutput("%s ", LineName(bit));
    ConsoleOutput(")\n");
  }
}

void ShowExpertResult(int32_t option, const uint8_t* data, uint32_t size) {
  switch (option) {
    case IbeAPISpecVersion: PrintText("   API\tSpecification Version = %s\n", data, size); break;
    case IbeBoardType: ConsoleOutput("   Board Type = 0x%x\n", Word32(data)); break;
    case IbeCompatibleType: ConsoleOutput("   CompatibleType = 0x%x\n", Word32(data)); break;
    case IbeDriverVersion: PrintText("   DriverVersion = %s\n", data, size); break;
    case IbeSelfDiagnostic:
      if (Word32(data) == 0)
        ConsoleOutput("   Diagnostic test passed\n");
      else
        ConsoleOutput("   Diagnostic test failed, error: %d\n", static_cast<int32_t>(Word32(data)));
      break;
    case IbeCtrlSerialNumber: PrintText("   Board Serial Number: %s\n", data, size); break;
    case IbeRead: ConsoleOutput("   Output value:  0x%x\n", Word32(data)); break;
    case IbeInterfaceIsConfigured:
      ConsoleOutput("\t  Interfaces Configured : ");
      for (uint32_t n = 0; n < 100 && data && 4 * n < size; ++n)
        if (data[4 * n]) ConsoleOutput(" %d", static_cast<int>(n));
      ConsoleOutput("\n");
      break;
    case IbeInterfaceDescription: PrintText("   Board Description:\t %s\n", data, size); break;
    case IbeDebugMode: case IbeWrite: case IbeSwapSPDCommandBytes:
    case IbeWriteSerialNumber: case IbeChangeDeviceBNA:
      break;
    default:
      ConsoleOutput("   Function not yet implemented\n");
      break;
  }
}
