// ibexpert: facts about the simulated controller, its registers, its serial
// number, fault injection through the debug mode, and moving a device to
// another board.
#include <cstdio>
#include <cstring>

#include "../router/router.h"
#include "calls.h"

using namespace vorel::sim;

namespace {

// The output sizes a caller provides for each option; nothing longer is written.
constexpr size_t kVersionSize = 9, kDriverVersionSize = 16, kSerialSize = 32, kDescriptionSize = 100;
constexpr int kBoardType = 0x5631, kCompatibleType = 0x0488;

void putString(void* out, size_t size, const char* text) {
  std::snprintf(static_cast<char*>(out), size, "%s", text);
}
void putWord(void* out, int value) { std::memcpy(out, &value, sizeof value); }
int word(const void* in, int i) {
  int v;
  std::memcpy(&v, static_cast<const char*>(in) + 4 * i, sizeof v);
  return v;
}

// Error codes that only hardware gives; IbeDebugMode with one of them makes
// the board's next transfer fail with it.
bool injectable(int code) {
  return code == EDMA || code == EBUS || code == ESTB || code == ESRQ || code == EPWR;
}

// A board of the loaded bus (whatever its back end), or null.
const vexon::BoardSettings* configuredBoard(int index) {
  const vexon::BusConfig* bus = vexon::LoadedBus();
  return bus ? bus->board(index) : nullptr;
}

}  // namespace

namespace vorel::sim {

int ibexpert(int ud, int option, void* in, void* out) {
  Call call;
  if (int sta = 0; badHandle(ud, sta)) return sta;
  Handle& h = bus().handles[ud];
  Board& b = bus().boards[boardIndex(ud)];
  int base = baseStatus(ud);
  const bool needsOut = option <= 4 || option == 6 || option == 8 || option == 10 || option == 11;
  const bool needsIn = option == 5 || option == 7 || option == 8 || option == 9 || option == 11 ||
                       option == 12 || option == 13 || option == 15;
  if (option < 0 || option > 15 || option == 14) return fail(base, EARG);
  if ((needsOut && !out) || (needsIn && !in)) return fail(base, EARG);
  switch (option) {
    case IbeAPISpecVersion: putString(out, kVersionSize, "2.5"); break;
    case IbeBoardType: putWord(out, kBoardType); break;
    case IbeCompatibleType: putWord(out, kCompatibleType); break;
    case IbeDriverVersion: putString(out, kDriverVersionSize, "vexon 1.0.0"); break;
    case IbeSelfDiagnostic: putWord(out, 0); break;
    case IbeDebugMode: {
      int mode = word(in, 0);
      b.debugMode = mode;
      b.fault = injectable(mode) ? mode : 0;
      break;
    }
    case IbeCtrlSerialNumber: putString(out, kSerialSize, b.serial.c_str()); break;
    case IbeWrite: {
      int width = word(in, 2);
      if (width != 1 && width != 2 && width != 4) return fail(base, EARG);
      long key = (static_cast<long>(word(in, 1)) << 32) | static_cast<unsigned>(word(in, 0));
      unsigned mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
      b.registers[key] = static_cast<int>(static_cast<unsigned>(word(in, 3)) & mask);
      break;
    }
    case IbeRead: {
      int width = word(in, 2);
      if (width != 1 && width != 2 && width != 4) return fail(base, EARG);
      long key = (static_cast<long>(word(in, 1)) << 32) | static_cast<unsigned>(word(in, 0));
      auto it = b.registers.find(key);
      putWord(out, it == b.registers.end() ? 0 : it->second);
      break;
    }
    case IbeSwapSPDCommandBytes:
      if (word(in, 0) != 0 && word(in, 0) != 1) return fail(base, EARG);
      b.swapSpd = word(in, 0);
      break;
    case IbeInterfaceIsConfigured:
      std::memset(out, 0, 400);
      for (int i = 0; i < vexon::kMaxBoards; ++i)
        if (configuredBoard(i)) putWord(static_cast<char*>(out) + 4 * i, 1);
      break;
    case IbeInterfaceDescription: {
      int index = word(in, 0);
      if (index < 0 || index > 99) return fail(base, EARG);
      const vexon::BoardSettings* board = configuredBoard(index);
      if (!board) return fail(base, ENEB);
      char text[kDescriptionSize];
      if (board->backend == "sim")
        std::snprintf(text, sizeof text, "Simulated GPIB controller gpib%d (vexon)", index);
      else
        std::snprintf(text, sizeof text, "GPIB controller gpib%d (vexon, %s)", index,
                      board->backend.c_str());
      putString(out, kDescriptionSize, text);
      break;
    }
    case IbeLck: return fail(base, ECAP);
    case IbeWriteSerialNumber: {
      const char* text = static_cast<const char*>(in);
      b.serial.assign(text, strnlen(text, kSerialSize - 1));
      break;
    }
    case IbeChangeDeviceBNA: {
      if (isBoardHandle(ud)) return fail(base, ECAP);
      int index = word(in, 0);
      if (index < 0 || index > 99) return fail(base, EARG);
      // A device moves only between boards of the simulated bus.
      const vexon::BoardSettings* target = configuredBoard(index);
      if (!target || target->backend != "sim") return fail(base, ENEB);
      if (h.io != Io::Idle) return fail(base, EOIP);
      placeBoard(*target);
      int previous = boardIndex(ud);
      vexon::MoveRecord(ud, index);
      return finishWithValue(baseStatus(ud) | CMPL, previous);
    }
  }
  return finish(baseStatus(ud) | CMPL, 0, 0);
}

}  // namespace vorel::sim
