// The lines an adapter answers on its own when it refuses a command. Such a
// line is no device data: it fails the call that caused it.
#pragma once
#include <string>

namespace vexon::prologix {

// The error a refusal gives the call (ECAP or EDVR), or 0 when line is none.
int AdapterRefusal(const std::string& line);
// Whether start may be the beginning of a refusal whose line end has not
// come yet.
bool RefusalPrefix(const std::string& start);

}  // namespace vexon::prologix
