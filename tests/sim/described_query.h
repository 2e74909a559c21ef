// A described instrument asked one message, for the tables of tests.
#pragma once
#include <string>

#include "../../vexon/sim/described/instance.h"

namespace vorel::sim::described {

// Writes a message with EOI and reads what is readable at once ("" for nothing).
inline std::string Query(Instance& in, const std::string& message) {
  Receive(in, message, true, 0);
  std::string out;
  char buf[256];
  bool end = false;
  while (size_t n = Talk(in, buf, sizeof buf, end)) out.append(buf, n);
  return out;
}

}  // namespace vorel::sim::described
