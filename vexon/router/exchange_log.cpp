// A message goes on until a write ends it; bytes read belong to the last
// message written, however many reads and responses they take. A new
// message past kExchangesKept folds the earlier ones.
#include "exchange_log.h"

#include "recorded_answers.h"

namespace vexon {

void LogWrite(DeviceLog& log, std::string_view bytes, bool end) {
  if (bytes.empty() && !end) return;
  const bool continues = !log.exchanges.empty() && !log.exchanges.back().ended &&
                         log.exchanges.back().response.empty();
  if (!continues) {
    if (log.exchanges.size() >= kExchangesKept) FoldExchanges(log);
    log.exchanges.emplace_back();
    ++log.messages;
  }
  Exchange& e = log.exchanges.back();
  e.message.append(bytes);
  e.ended = end;
}

void LogRead(DeviceLog& log, std::string_view bytes, bool end) {
  if (log.messages == 0) {
    log.unsolicited.append(bytes);
    return;
  }
  Exchange& e = log.exchanges.back();
  e.response.append(bytes);
  e.answered = e.answered || end;
}

void LogPoll(DeviceLog& log, uint8_t result) {
  if (!log.polls.empty() && log.polls.back().result == result) ++log.polls.back().times;
  else if (log.polls.size() < kPollRunsKept) log.polls.push_back({result, 1});
  else ++log.pollsDropped;
}

}  // namespace vexon
