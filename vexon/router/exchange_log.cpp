// A message goes on until a write ends it; bytes read belong to the last
// message written, however many reads and responses they take.
#include "exchange_log.h"

namespace vexon {

void LogWrite(DeviceLog& log, std::string_view bytes, bool end) {
  if (bytes.empty() && !end) return;
  const bool continues = !log.exchanges.empty() && !log.exchanges.back().ended &&
                         log.exchanges.back().response.empty();
  if (!continues) log.exchanges.emplace_back();
  Exchange& e = log.exchanges.back();
  e.message.append(bytes);
  e.ended = end;
}

void LogRead(DeviceLog& log, std::string_view bytes, bool end) {
  if (log.exchanges.empty()) {
    log.unsolicited.append(bytes);
    return;
  }
  Exchange& e = log.exchanges.back();
  e.response.append(bytes);
  e.answered = e.answered || end;
}

void LogPoll(DeviceLog& log, uint8_t result) { log.polls.push_back(result); }

}  // namespace vexon
