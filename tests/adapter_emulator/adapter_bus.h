// The test bus of the adapter back ends: the simulated board 0 beside
// boards on emulated adapters (adapter_emulator as child processes), set up
// once for the test program.
#pragma once
#include <string>

#include "emulator_process.h"

namespace adapter_test {

// Boards of the test bus.
enum Board {
  kSim = 0,
  kTcp = 2,          // a Prologix over TCP
  kPty = 3,          // the same Prologix on its pseudo-terminal
  kAr488 = 4,        // an AR488, firmware 0.53, on its pseudo-terminal
  kRefused = 5,      // nothing listens there
  kUnplugged = 6,    // no such serial device
  kAr488AsPrologix = 7,  // the AR488 over TCP, which the bus file calls "prologix"
  kArduino = 8,      // an AR488 that restarts when its port opens, on its pseudo-terminal
};

extern EmulatorProcess prologix, ar488, arduino;
// How long the Arduino takes to restart.
constexpr int kArduinoBootMs = 1300;

// ibwrt of text and ibrd of the answer: the answer, or "error N" with iberr.
std::string Query(int ud, const std::string& text);

}  // namespace adapter_test
