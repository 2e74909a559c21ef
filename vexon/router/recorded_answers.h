// What a recorded device answers, worked out from its exchange log: the ends
// of its messages, a dialogue per distinct command, and the settings that
// read back as they were written (a property instead of two dialogues).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "exchange_log.h"

namespace vexon {

// A setting written as "HEADER value" that "HEADER?" reads back: as written
// (text), or as the number written with a fixed count of decimals.
struct RecordedProperty {
  std::string header;
  std::string initial;  // read before any write, else the first value written
  int decimals = -1;    // -1: read back as written; else a float read with this many
};

struct RecordedDevice {
  std::string q = "\n", r = "\n";  // the ends of messages in and out
  std::vector<RecordedDialogue> dialogues;  // in the order first seen
  std::vector<RecordedProperty> properties;
  std::string unsolicited;
};

RecordedDevice SummarizeDevice(const DeviceLog& log);

// Folds the log's exchanges into log.folded, cut at the ends their
// messages share so far; the exchanges kept are none after it.
void FoldExchanges(DeviceLog& log);

}  // namespace vexon
