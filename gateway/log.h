// The gateway's log on standard error: a line per connection opened or
// closed and per failure; a line per call with --verbose.
#pragma once

#include <string>

#include "connection.h"

namespace gateway {

extern bool verbose;  // set by main from --verbose
extern bool quiet;    // set by the fuzzer: no log at all

void Log(const std::string& text);
void LogConnection(const Connection& connection, const std::string& what);
void LogFailure(const Connection& connection, const std::string& what);
void LogVerbose(const Connection& connection, const std::string& what);

}  // namespace gateway
