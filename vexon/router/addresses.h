// GPIB addresses and the address lists of the IEEE 488.2 routines.
#pragma once
#include <cstdint>

namespace vexon {

// A primary address 0 to 30 with no secondary (0) or one of 0x60 to 0x7E.
bool ValidAddress(int pad, int sad);
// The same for a 488.2 address: the primary in the low byte, the secondary
// in the high one.
inline bool ValidAddress(uint16_t a) { return ValidAddress(a & 0xFF, a >> 8); }

// At most this many entries of an address list are looked at.
constexpr int kListLimit = 1024;
// Calls f(i, address) for each entry of a list ended by NOADDR.
template <class F>
void ForList(const uint16_t* list, F f) {
  for (int i = 0; i < kListLimit && list[i] != 0xFFFF; ++i) f(i, list[i]);
}
// Whether any entry of the list is no valid address.
bool AnyInvalid(const uint16_t* list);

}  // namespace vexon
