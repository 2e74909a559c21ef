// Status byte, event status register, error queue and service request.
#include "status_model.h"

namespace vorel::sim::described {

namespace {

struct ErrorName {
  int code;
  const char* text;
};
// Every code PushError is given has its text here.
constexpr ErrorName kErrors[] = {
    {0, "No error"},
    {kInvalidCharacter, "Invalid character"},
    {kDataTypeError, "Data type error"},
    {kParameterNotAllowed, "Parameter not allowed"},
    {kMissingParameter, "Missing parameter"},
    {kUndefinedHeader, "Undefined header"},
    {kDataOutOfRange, "Data out of range"},
    {kQueueOverflow, "Queue overflow"},
    {kQueryUnterminated, "Query UNTERMINATED"},
};

// The event bit of an error's class: -1xx command, -2xx execution, -4xx query.
int EventOf(int code) {
  if (code <= -100 && code > -200) return kCME;
  if (code <= -200 && code > -300) return kEXE;
  if (code <= -300 && code > -400) return kDDE;
  if (code <= -400 && code > -500) return kQYE;
  return 0;
}

}  // namespace

int StatusByte(const StatusModel& s, bool mav) {
  return (mav ? kMAV : 0) | ((s.esr & s.ese) ? kESB : 0);
}

void UpdateRequest(StatusModel& s, bool mav) {
  int reasons = StatusByte(s, mav) & s.sre & ~kMSS;
  if (reasons & ~s.reasons) s.srq = true;
  if (!reasons) s.srq = false;
  s.reasons = reasons;
}

void RequestWhileReason(StatusModel& s, bool mav) {
  s.reasons = StatusByte(s, mav) & s.sre & ~kMSS;
  if (s.reasons) s.srq = true;
}

uint8_t PollStatus(StatusModel& s, bool mav) {
  UpdateRequest(s, mav);
  int stb = StatusByte(s, mav) | (s.srq ? kMSS : 0);
  s.srq = false;
  return static_cast<uint8_t>(stb);
}

void PushError(StatusModel& s, int code) {
  s.esr |= EventOf(code);
  if (s.errors.size() < kErrorQueueSize) s.errors.push_back(code);
  else s.errors.back() = kQueueOverflow;
}

std::string PopError(StatusModel& s) {
  int code = 0;
  if (!s.errors.empty()) {
    code = s.errors.front();
    s.errors.pop_front();
  }
  return ErrorText(code);
}

std::string ErrorText(int code) {
  for (const ErrorName& e : kErrors)
    if (e.code == code) return std::to_string(code) + ",\"" + e.text + "\"";
  return std::to_string(code) + ",\"Error\"";
}

}  // namespace vorel::sim::described
