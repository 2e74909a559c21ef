// A recording as a bus file in pyvisa-sim's format: one sim board with one
// described instrument per recorded device, at the addresses they had.
#pragma once
#include <string>
#include <vector>

#include "bus_config.h"
#include "exchange_log.h"

namespace vexon {

// The first line of every recording; a file that starts otherwise is the
// user's and is never overwritten.
extern const char kRecordingMark[];
// The start of the lines of a recording that hold keys pyvisa-sim does not
// know (`names`): comments to pyvisa-sim, YAML without it to the driver.
extern const char kHiddenLine[];

struct RecordingSource {
  const BoardSettings* board = nullptr;
  std::string from, to;  // when, as the header says it
  std::string file;      // the file's name, for the header's example
};

// The file's text. names: the bus file's names of the recorded devices,
// kept so that a program opens them as it did on the bench.
std::string RecordingText(const RecordingSource& source, const std::vector<DeviceLog>& devices,
                          const std::vector<NamedDevice>& names);

// text as a double-quoted YAML scalar; with bytes, as pyvisa-sim's
// BYTES(...) where plain text would not come back byte for byte.
std::string QuotedText(const std::string& text, bool bytes = false);

// Where a board is, as "prologix, host 192.168.1.50, tcp_port 1234".
std::string DescribeBoard(const BoardSettings& b);

}  // namespace vexon
