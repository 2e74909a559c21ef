// A "++" adapter (Prologix GPIB-USB/ETHERNET, AR488) as its manuals describe
// it, whose GPIB bus is the driver library's simulated bus: each command and
// data line from the host becomes classic driver calls on board 0.
#pragma once
#include <functional>
#include <map>
#include <string>

namespace emulator {

// Sends bytes to the host. False when the host has not taken them within
// stallMs (the adapter then gives up, as its read timeout would).
using Output = std::function<bool(const std::string& bytes, int stallMs)>;

class AdapterModel {
 public:
  AdapterModel(bool ar488, Output out) : ar488_(ar488), out_(std::move(out)) {}

  // Takes bytes from the host; each complete line runs. Returns the lines
  // that ran, as they would be logged.
  std::vector<std::string> Feed(const std::string& bytes);

 private:
  void RunLine(const std::string& line, bool command);
  void RunCommand(const std::string& name, const std::vector<int>& args, const std::string& rest);
  void WriteData(const std::string& data);
  void ReadToHost(bool untilEoi, int endChar);
  void Reply(const std::string& text);
  int DeviceHandle(int pad, int sad);

  bool ar488_;
  Output out_;
  std::string line_;
  bool escaped_ = false;
  bool lineIsData_ = false;  // an escaped byte came: the line cannot be a command
  // The settings a freshly powered adapter has; the host must change them.
  int pad_ = 1, sad_ = 0, mode_ = 1, autoRead_ = 1, eoi_ = 1, eos_ = 0;
  int eotEnable_ = 0, eotChar_ = 0, readTmoMs_ = 500;
  std::map<int, int> handles_;  // pad | sad << 8 -> handle on the simulated bus
};

}  // namespace emulator
