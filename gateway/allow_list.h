// The networks whose clients may connect (`--allow`).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gateway {

struct Network {
  uint32_t address = 0;  // host byte order
  uint32_t mask = 0;
};

// Reads "A.B.C.D" or "A.B.C.D/BITS"; false when it is neither.
bool ParseNetwork(const std::string& text, Network* network);

// True when `address` (host byte order) is in one of `networks`.
bool Allowed(const std::vector<Network>& networks, uint32_t address);

}  // namespace gateway
