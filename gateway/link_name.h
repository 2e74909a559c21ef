// Link names of a GPIB gateway: `gpibN` (the interface), `gpibN,PAD`,
// `gpibN,PAD,SAD`; anything else is a name for ibfind.
#pragma once

#include <string>

namespace gateway {

struct LinkTarget {
  enum Kind { kInterface, kDevice, kNamed };
  Kind kind = kNamed;
  int board = 0;
  int pad = 0;
  int sad = 0;  // 0 for none, else 0x60 + SAD as ibdev takes it
  std::string name;  // kNamed: the name for ibfind
};

// Reads `text` into `target`; returns 0 or the VXI-11 error: 1 for a
// malformed gpib name, 21 for an address out of range.
long ParseLinkName(const std::string& text, LinkTarget* target);

}  // namespace gateway
