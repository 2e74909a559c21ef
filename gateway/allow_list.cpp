// The networks whose clients may connect.
#include "allow_list.h"

#include <arpa/inet.h>

#include <cstdlib>

namespace gateway {

bool ParseNetwork(const std::string& text, Network* network) {
  size_t slash = text.find('/');
  std::string address = text.substr(0, slash);
  int bits = 32;
  if (slash != std::string::npos) {
    std::string digits = text.substr(slash + 1);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    bits = std::atoi(digits.c_str());
    if (bits > 32) return false;
  }
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  network->mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
  network->address = ntohl(parsed.s_addr) & network->mask;
  return true;
}

bool Allowed(const std::vector<Network>& networks, uint32_t address) {
  for (const Network& n : networks)
    if ((address & n.mask) == n.address) return true;
  return false;
}

}  // namespace gateway
