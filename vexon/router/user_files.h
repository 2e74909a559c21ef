// The files that ibrdf and ibwrtf name, for every back end: what a user can
// name on Linux (a regular file, a FIFO, a device, a directory) opens, reads
// and writes without waiting for a peer that is not there and without a signal.
#pragma once
#include <cstddef>
#include <string>

namespace vexon {

// Reads the whole file into data, at most limit bytes. False when the file
// cannot be opened or read, or holds more than limit bytes (a file that never
// ends, such as /dev/zero, or one that grows while read).
bool ReadWholeFile(const std::string& path, size_t limit, std::string& data);

// A file opened for writing, created or truncated; a FIFO only when a reader
// is there.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  bool isOpen() const { return fd_ >= 0; }
  // Writes all n bytes; false when the file refuses them (a full disk, a FIFO
  // whose reader went away).
  bool write(const void* data, size_t n);
  // Closes the file; false when the last bytes could not be written.
  bool close();

 private:
  int fd_ = -1;
};

}  // namespace vexon
