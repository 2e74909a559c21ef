// Address checks shared by the back ends.
#include "addresses.h"

namespace vexon {

bool ValidAddress(int pad, int sad) { return pad >= 0 && pad <= 30 && (sad == 0 || (sad >= 0x60 && sad <= 0x7E)); }

bool AnyInvalid(const uint16_t* list) {
  bool bad = false;
  ForList(list, [&](int, uint16_t a) { bad |= !ValidAddress(a); });
  return bad;
}

}  // namespace vexon
