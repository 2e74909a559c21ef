// The records of the handle table. Each option is an atomic of its own; a
// writer holds the record's lock so that an option and the options kept in
// step with it (IbcEOS and its parts) change together.
#include "handle_record.h"

#include <atomic>
#include <mutex>

#include "router.h"

namespace vexon {

namespace {

struct Record {
  std::mutex writer;
  std::atomic<bool> isBoard{false};
  std::atomic<int> board{0};
  std::atomic<bool> linked{false};
  std::atomic<int> options[kOptionSlots] = {};
  HandleConfig opening;  // under writer
};

Record records[kMaxHandles];

void Write(Record& r, const HandleConfig& c) {
  for (int i = 0; i < kOptionSlots; ++i) r.options[i].store(c.values[i], std::memory_order_relaxed);
}

}  // namespace

HandleKind KindOf(int ud) {
  const Record& r = records[ud];
  return {r.isBoard.load(std::memory_order_relaxed), r.board.load(std::memory_order_relaxed),
          r.linked.load(std::memory_order_relaxed)};
}

int OptionOf(int ud, int option) {
  return records[ud].options[OptionSlot(option)].load(std::memory_order_relaxed);
}

HandleConfig OptionsOf(int ud) {
  HandleConfig c;
  for (int i = 0; i < kOptionSlots; ++i) c.values[i] = records[ud].options[i].load(std::memory_order_relaxed);
  return c;
}

void PlaceRecord(int ud, bool isBoard, int board, const HandleConfig& config, bool linked) {
  Record& r = records[ud];
  std::lock_guard l(r.writer);
  r.isBoard.store(isBoard, std::memory_order_relaxed);
  r.linked.store(linked, std::memory_order_relaxed);
  r.board.store(board, std::memory_order_relaxed);
  Write(r, config);
  r.opening = config;
}

void MarkOpened(int ud) {
  Record& r = records[ud];
  std::lock_guard l(r.writer);
  r.opening = OptionsOf(ud);
}

int SetOptionOf(int ud, int option, int value) {
  Record& r = records[ud];
  std::lock_guard l(r.writer);
  HandleConfig c = OptionsOf(ud);
  const int prev = StoreOption(c, option, value);
  Write(r, c);
  return prev;
}

HandleConfig OpeningOf(int ud) {
  Record& r = records[ud];
  std::lock_guard l(r.writer);
  return r.opening;
}

void ResetRecord(int ud) {
  Record& r = records[ud];
  std::lock_guard l(r.writer);
  Write(r, r.opening);
}

void MoveRecord(int ud, int board) { records[ud].board.store(board, std::memory_order_relaxed); }

}  // namespace vexon
