// The lines an adapter answers on its own when it refuses a command. Such a
// line is no device data: it fails the call that caused it.
#pragma once
#include <string>

namespace vexon::prologix {

// Whether line is a refusal, and the error it gives the call (ECAP or EDVR).
bool AdapterRefusal(const std::string& line, int& error);
// Whether start may be the beginning of a refusal whose line end has not
// come yet.
bool RefusalPrefix(const std::string& start);

}  // namespace vexon::prologix
