// The IEEE 488.2 status model of a described instrument: the status byte, the
// event status register and its enable masks, the error queue and the
// service request they raise.
#pragma once
#include <cstdint>
#include <deque>
#include <string>

namespace vorel::sim::described {

enum : int { kMAV = 0x10, kESB = 0x20, kMSS = 0x40 };
enum : int { kOPC = 0x01, kQYE = 0x04, kDDE = 0x08, kEXE = 0x10, kCME = 0x20, kPON = 0x80 };

// Error codes the model queues, with their texts.
enum : int {
  kInvalidCharacter = -101, kDataTypeError = -104, kParameterNotAllowed = -108, kMissingParameter = -109,
  kUndefinedHeader = -113, kDataOutOfRange = -222, kQueueOverflow = -350, kQueryUnterminated = -420,
};

// The error queue holds this many entries; the last becomes -350 when full.
constexpr size_t kErrorQueueSize = 30;

struct StatusModel {
  int ese = 0, esr = 0, sre = 0;
  std::deque<int> errors;  // codes, oldest first
  bool srq = false;        // requesting service
  int reasons = 0;         // STB & SRE (MSS left out) when last updated
};

// The status byte without MSS: MAV when mav, ESB while ESR & ESE.
int StatusByte(const StatusModel& s, bool mav);
// Requests service on a new reason (a bit of STB & SRE turning on); withdraws
// the request when no reason is left.
void UpdateRequest(StatusModel& s, bool mav);
// Requests service while a bit of STB & SRE is on, new or not (the built-in
// meter's way).
void RequestWhileReason(StatusModel& s, bool mav);
// The status byte a serial poll reads, RQS in bit 6; ends the request.
uint8_t PollStatus(StatusModel& s, bool mav);
// Queues the error and sets its event bit (CME, EXE or QYE by its class).
void PushError(StatusModel& s, int code);
// The oldest error as SYST:ERR? answers it ("0,\"No error\"" when empty), removed.
std::string PopError(StatusModel& s);
// The entry as the error query writes it: -113,"Undefined header".
std::string ErrorText(int code);

}  // namespace vorel::sim::described
