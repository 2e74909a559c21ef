// Data buffers and result arrays for one command.
#include "exec/data_buffers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "core/command_catalogue.h"
#include "core/messages.h"
#include "core/print.h"
#include "driver/gpib.h"
#include "core/mode_flags.h"

namespace {
constexpr uint32_t kSlopBytes = 8;
constexpr uint32_t kAllListenersAddresses = 33;
constexpr uint32_t kAllListenersResults = 992;

bool IsOdd(const void* p) { return reinterpret_cast<uintptr_t>(p) & 1; }
}  // namespace

void FormatPointer(uintptr_t p, char* out) {
  std::snprintf(out, 19, "0x%016llX", static_cast<unsigned long long>(p));
}

uint8_t* AllocateDataBuffer(uint32_t n) {
  const size_t usable = static_cast<size_t>(n) + (slopCheck ? kSlopBytes : 0);
  uint8_t* block = static_cast<uint8_t*>(std::malloc(usable + (oddBuffers ? 1 : 0)));
  if (!block) {
    PrintCut(kMessages[MSG_CANNOT_ALLOC]);
    return nullptr;
  }
  if (expertMode) {
    char address[19];
    FormatPointer(reinterpret_cast<uintptr_t>(block), address);
    ConsoleOutput("Allocated a buffer of size 0x%lX bytes at address %s %s\n", static_cast<unsigned long>(usable),
                  address, oddBuffers ? "(+1)" : "");
  }
  uint8_t* start = (oddBuffers && !IsOdd(block)) ? block + 1 : block;
  std::memset(start, slopCheck ? 0x5A : 0x00, usable);
  return start;
}

uint16_t* AllocateResultArray(uint32_t n) {
  const size_t bytes = 2 * static_cast<size_t>(n);
  uint16_t* array = static_cast<uint16_t*>(std::calloc(n ? n : 1, 2));
  if (!array) {
    PrintCut(kMessages[MSG_CANNOT_ALLOC]);
    return nullptr;
  }
  if (expertMode) {
    char address[19];
    FormatPointer(reinterpret_cast<uintptr_t>(array), address);
    ConsoleOutput("Allocated an array of size 0x%lX bytes at address %s\n", static_cast<unsigned long>(bytes), address);
  }
  return array;
}

namespace {
void AnnounceRelease(const void* block) {
  if (!expertMode) return;
  char address[19];
  FormatPointer(reinterpret_cast<uintptr_t>(block), address);
  ConsoleOutput("%s %s\n", kMessages[MSG_WILL_FREE], address);
}
}  // namespace

namespace {
// With odd buffers the data start is one byte past the block.
uint8_t* BlockOf(uint8_t* dataStart) { return IsOdd(dataStart) ? dataStart - 1 : dataStart; }
}  // namespace

void ReleaseDataBuffer(uint8_t* dataStart) {
  if (!dataStart) return;
  uint8_t* block = BlockOf(dataStart);
  AnnounceRelease(block);
  std::free(block);
}

void RetireDataBuffer(uint8_t* dataStart) {
  if (!dataStart) return;
  uint8_t* block = BlockOf(dataStart);
  AnnounceRelease(block);
  // Kept reachable until the process ends (the list itself is never
  // destroyed); the driver may still write here.
  static auto* retired = new (std::nothrow) std::vector<uint8_t*>;
  try {
    if (retired) retired->push_back(block);
  } catch (const std::bad_alloc&) {
  }
}

void ReleaseResultArray(uint16_t* array) {
  AnnounceRelease(array);
  std::free(array);
}

bool PrepareSynchronous(ParsedCommand& c, bool& ownsData) {
  ownsData = false;
  if (c.code == CODE_FINDALLLSTN) {
    c.addressList = AllocateResultArray(kAllListenersAddresses);
    if (!c.addressList) return false;
    for (uint16_t pad = 0; pad <= 30; ++pad) c.addressList[pad] = pad;
    c.addressList[31] = NOADDR;
    c.resultList = AllocateResultArray(kAllListenersResults);
    if (!c.resultList) {
      ReleaseResultArray(c.addressList);
      c.addressList = nullptr;
      return false;
    }
    c.value = kAllListenersResults;
    return true;
  }
  // A negative count allocates nothing; the driver judges it.
  if (c.count <= 0) return true;
  const uint32_t count = static_cast<uint32_t>(c.count);
  switch (c.code) {
    case CODE_IBRPP: case CODE_IBRSP: case CODE_IBRD: case CODE_IBLN: case CODE_IBLINES:
    case CODE_IBRDKEY: case CODE_IBASK: case CODE_RECEIVE: case CODE_TESTSRQ: case CODE_WAITSRQ:
    case CODE_RCVRESPMSG: case CODE_PPOLL: case CODE_IBWRTN: case CODE_IBRDN: case CODE_IBCMDN:
      c.data = AllocateDataBuffer(count + 1);
      ownsData = c.data != nullptr;
      return ownsData;
    case CODE_IBEXPERT:
      switch (c.value) {
        case 0: case 1: case 2: case 3: case 4: case 6: case 8: case 10: case 11:
          c.data = AllocateDataBuffer(count);
          ownsData = c.data != nullptr;
          return ownsData;
        default:
          return true;
      }
    case CODE_FINDRQS: case CODE_ALLSPOLL: case CODE_TESTSYS: case CODE_READSTATUSBYTE:
      c.resultList = AllocateResultArray(count + 1);
      return c.resultList != nullptr;
    case CODE_FINDLSTN:
      // The array is sized by the addresses typed; the limit passed to the
      // driver is clamped to it by Execute.
      c.resultList = AllocateResultArray(16 * count + 1);
      return c.resultList != nullptr;
    default:
      return true;
  }
}

void ReleaseSynchronous(ParsedCommand& c, bool ownsData) {
  if (ownsData && c.data) ReleaseDataBuffer(c.data);
  switch (c.code) {
    case CODE_FINDRQS: case CODE_ALLSPOLL: case CODE_FINDLSTN: case CODE_TESTSYS:
    case CODE_READSTATUSBYTE: case CODE_FINDALLLSTN:
      ReleaseResultArray(c.resultList);
      c.resultList = nullptr;
      break;
    default:
      break;
  }
  if (c.code == CODE_FINDALLLSTN) {
    ReleaseResultArray(c.addressList);
    c.addressList = nullptr;
  }
}
