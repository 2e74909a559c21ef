// The status report: status line, error line, count and the command's sections.
#include "display/status_report.h"

#include <cstdio>

#include "core/command_catalogue.h"
#include "core/print.h"
#include "display/buffer_display.h"
#include "display/query_display.h"
#include "driver/gpib.h"
#include "driver/status_copies.h"
#include "core/mode_flags.h"
#include "language/name_tables.h"

namespace {

struct ErrorRow {
  const char* name;
  int32_t code;
};

// Every error code the driver documents; the end row has no name.
constexpr ErrorRow kErrorNames[] = {
    {"EDVR", 0},  {"ECIC", 1},  {"ENOL", 2},  {"EADR", 3},  {"EARG", 4},  {"ESAC", 5},
    {"EABO", 6},  {"ENEB", 7},  {"EDMA", 8},  {"EOIP", 10}, {"ECAP", 11}, {"EFSO", 12},
    {"EBUS", 14}, {"ESTB", 15}, {"ESRQ", 16}, {"ETAB", 20}, {"ELCK", 21}, {"EHDL", 23},
    {"EWIP", 26}, {"ERST", 27}, {"EPWR", 28}, {nullptr, 0xFFFF},
};
static_assert(sizeof(kErrorNames) / sizeof(kErrorNames[0]) == 22, "21 error codes and the end row");

const char* StatusBitName(int32_t bit) {
  for (const NameRow* row = kStatusBitNames; row->name; ++row)
    if (row->value == bit) return row->name;
  return nullptr;
}

void ErrorLine(uint32_t flags) {
  char line[256];
  const char* name = ErrorName(iberr);
  int n = name ? std::snprintf(line, sizeof line, "%s: %s", "error", name)
               : std::snprintf(line, sizeof line, "%s: %d", "error", iberr);
  auto append = [&](const char* text) {
    if (n >= 0 && n < static_cast<int>(sizeof line)) n += std::snprintf(line + n, sizeof line - n, "%s", text);
  };
  if (iberr == EDVR && n >= 0 && n < static_cast<int>(sizeof line))
    n += std::snprintf(line + n, sizeof line - n, " (0x%lx)", static_cast<unsigned long>(static_cast<uint32_t>(ibcntl)));
  if (flags & CMD_LISTENERS) {
    if (iberr == EARG) append("\ncount is the index of the faulty entry in input address-list");
    if (iberr == ETAB) append("\nWarning: More than [count] listeners found");
  } else if (flags & CMD_REQUESTS) {
    if (iberr == EABO) append("\ncount is the index of the timed out device in input address-list");
    if (iberr == ETAB) append("\nno address corresponds to a device requesting service");
  }
  ConsoleOutput("%s\n", line);
}

// Size of the data buffer the line cycle allocated: count bytes plus one,
// except for ibexpert, whose result buffers are exactly count bytes.
uint32_t DataCapacity(const ParsedCommand& c) {
  if (c.count <= 0) return 0;
  return static_cast<uint32_t>(c.count) + (c.code == CODE_IBEXPERT ? 0 : 1);
}

void SlopZone(const ParsedCommand& c) {
  ConsoleOutput("\nslop check zone: buf[%lxh - %lxh] = ", static_cast<unsigned long>(static_cast<uint32_t>(ibcntl)),
                static_cast<unsigned long>(static_cast<uint32_t>(ibcntl) + 7));
  // The zone lies inside the buffer only while ibcntl is within the request;
  // past it (a load failure leaves an error code there) nothing is read.
  if (c.data && ibcntl >= 0 && ibcntl <= c.count) {
    for (int i = 0; i < 8; ++i) ConsoleOutput(" %xh", static_cast<unsigned>(static_cast<int32_t>(static_cast<int8_t>(c.data[ibcntl + i]))));
  }
  ConsoleOutput("\n");
}

}  // namespace

const char* ErrorName(int32_t code) {
  for (const ErrorRow* row = kErrorNames; row->name; ++row)
    if (row->code == code) return row->name;
  return nullptr;
}

int FormatStatusLine(int32_t status, char* out, int size) {
  int n = std::snprintf(out, size, "[%04x]   ( ", static_cast<unsigned>(status & 0xFFFF));
  for (int32_t bit = 0x8000; bit; bit >>= 1)
    if ((status & bit) && n < size) n += std::snprintf(out + n, size - n, "%s ", StatusBitName(bit));
  if (n < size) n += std::snprintf(out + n, size - n, ")\n");
  return n;
}

uint32_t ResultListCapacity(const ParsedCommand& c) {
  uint32_t count = c.count > 0 ? static_cast<uint32_t>(c.count) : 0;
  switch (c.code) {
    case CODE_FINDLSTN: return count ? 16 * count + 1 : 0;
    case CODE_FINDALLLSTN: return 992;
    case CODE_FINDRQS: case CODE_ALLSPOLL: case CODE_TESTSYS: case CODE_READSTATUSBYTE:
      return count ? count + 1 : 0;
    default: return 0;
  }
}

void StatusReport(uint32_t flags, const ParsedCommand& c) {
  const bool failed = ibsta & ERR;
  if (flags & CMD_STATUS) {
    char line[160];
    FormatStatusLine(ibsta, line, sizeof line);
    ConsoleOutput("%s", line);
    if ((c.code == CODE_IBWAIT || c.code == CODE_W) && !(ibsta & CMPL))
      ConsoleOutput("count:  %ld\n", static_cast<long>(ibcntl));
    if (failed) ErrorLine(flags);
  }
  if ((flags & CMD_PREVIOUS_VALUE) && !failed) ShowPreviousValue(iberr);

  // The address list of findalllstn holds 33 entries; the shared list 2048.
  const uint32_t addressCapacity = c.code == CODE_FINDALLLSTN ? 33 : 2048;
  const uint32_t results = ResultListCapacity(c);
  if (!(failed && iberr == EDVR)) {
    if (flags & (CMD_COUNT | CMD_COUNT_ALT)) ConsoleOutput("count:  %ld\n", static_cast<long>(ibcntl));
    if ((flags & CMD_SHOW_BUFFER) && c.data) {
      uint32_t length = static_cast<uint32_t>(ibcntl) < static_cast<uint32_t>(c.count) ? static_cast<uint32_t>(ibcntl)
                                                                                        : static_cast<uint32_t>(c.count);
      ShowBuffer(c.data, length);
    }
    if ((flags & CMD_LISTENERS) && (!failed || iberr == ETAB)) {
      ConsoleOutput("%s\n", "count is the number of listeners found");
      ShowListeners(c.resultList, static_cast<uint32_t>(ibcntl), results);
    }
    if ((flags & CMD_REQUESTS) && !failed) {
      ConsoleOutput("%s\n", "count is the index of the device requesting service in input address-list");
      ShowAddressResults("Request", c.addressList, c.resultList, ibcntl, results < addressCapacity ? results : addressCapacity);
    }
    if (flags & CMD_SRQ_LINE) ShowSrqLine(c.data);
  }
  if (flags & CMD_POLL_BYTE) ShowPollByte(c.data);
  const uint32_t tableCapacity = results < addressCapacity ? results : addressCapacity;
  if (flags & CMD_POLL_LIST) ShowAddressResults("Poll", c.addressList, c.resultList, -1, tableCapacity);
  if (flags & CMD_TEST_LIST) {
    if (failed) ConsoleOutput("%s\n", "count is the index of the first device that failed");
    ShowAddressResults("Test", c.addressList, c.resultList, -1, tableCapacity);
  }
  if (flags & CMD_LISTEN) ShowListenState(c.data);
  if ((flags & CMD_CURRENT_VALUE) && (!failed || iberr == ENEB)) ShowCurrentValue(c.data);
  if ((flags & CMD_PREVIOUS_BOARD) && !failed) ShowPreviousBoard(iberr);
  if ((flags & CMD_LINES) && !failed) {
    uint16_t w = 0;
    if (c.data) w = static_cast<uint16_t>(c.data[0] | (c.data[1] << 8));
    ShowBusLines(w);
  }
  if (slopCheck && (c.code == CODE_IBRD || c.code == CODE_IBRDA)) SlopZone(c);
  if ((flags & CMD_EXPERT_RESULT) && !failed) ShowExpertResult(c.value, c.data, DataCapacity(c));
}
