// Reading the hostile driver's mode from a write or from the environment.
#include "hostile_mode.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

namespace hostile {

namespace {

struct NamedNumber {
  const char* name;
  int value;
};

constexpr NamedNumber kNamedNumbers[] = {{"huge", INT_MAX}, {"min", INT_MIN}, {"all", -1}};

bool ReadNumber(const std::string& text, int& out) {
  for (const NamedNumber& n : kNamedNumbers)
    if (text == n.name) return out = n.value, true;
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno || *end || v < INT_MIN || v > UINT_MAX) return false;
  // 0xFFFFFFFF and the like name bit patterns: keep their 32 bits.
  out = static_cast<int>(static_cast<unsigned>(v));
  return true;
}

bool SetKey(const std::string& key, const std::string& value, Mode& mode) {
  int n = 0;
  if (key == "notify") {
    if (value == "later") mode.notify = Notify::Later;
    else if (value == "now") mode.notify = Notify::Now;
    else if (value == "unload") mode.notify = Notify::Unload;
    else return false;
    return true;
  }
  if (key == "rda") {
    if (value != "sync" && value != "thread") return false;
    mode.asyncRead = value == "thread";
    return true;
  }
  if (key == "rd") {
    if (value != "now" && value != "wait") return false;
    mode.readWaits = value == "wait";
    return true;
  }
  if (!ReadNumber(value, n)) return false;
  if (key == "status") mode.status = n;
  else if (key == "error") mode.error = n;
  else if (key == "count") mode.count = n;
  else if (key == "handle") mode.handle = n;
  else if (key == "word") mode.word = n;
  else return false;
  return true;
}

}  // namespace

bool ParseMode(const std::string& text, Mode& mode) {
  std::istringstream words(text);
  std::string word;
  Mode parsed;
  bool any = false;
  while (words >> word) {
    any = true;
    if (word == "sane") continue;
    size_t eq = word.find('=');
    if (eq == std::string::npos || !SetKey(word.substr(0, eq), word.substr(eq + 1), parsed)) return false;
  }
  if (!any) return false;
  mode = parsed;
  return true;
}

Mode& CurrentMode() {
  static Mode mode = [] {
    Mode m;
    if (const char* text = std::getenv("VOREL_HOSTILE_MODE")) ParseMode(text, m);
    return m;
  }();
  return mode;
}

}  // namespace hostile
