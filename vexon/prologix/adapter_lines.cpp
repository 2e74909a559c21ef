// The adapters' own refusals, as their manuals print them.
#include "adapter_lines.h"

#include "../router/backend.h"

namespace vexon::prologix {

namespace {

struct Refusal {
  const char* text;
  int error;
};
// A command the adapter does not have, or a feature its build left out, is a
// capability the bus lacks; an argument it will not take is a driver fault.
constexpr Refusal kRefusals[] = {
    {"Unrecognized command", ECAP},
    {"Unavailable", ECAP},
    {"Invalid parameter", EDVR},
};

}  // namespace

bool RefusalPrefix(const std::string& start) {
  for (const Refusal& r : kRefusals) {
    const std::string line = std::string(r.text) + "\r\n";
    if (start.size() < line.size() && line.compare(0, start.size(), start) == 0) return true;
  }
  return false;
}

bool AdapterRefusal(const std::string& line, int& error) {
  std::string s = line;
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  for (const Refusal& r : kRefusals)
    if (s == r.text) return error = r.error, true;
  return false;
}

}  // namespace vexon::prologix
