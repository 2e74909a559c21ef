// What a change of a handle's settings asks of the adapter: the router keeps
// the settings, the adapter hears of them when a transfer needs them.
#pragma once
namespace vexon::prologix {

// The back end's say on ibconfig and ibeos; false once the failure is reported.
bool Configure(int ud, int option, int value);

}  // namespace vexon::prologix
