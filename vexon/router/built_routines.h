// The calls the router builds from a back end's other operations where the
// back end has none of its own: every back end that can poll, clear, send and
// receive gets the 488.2 routines made of those.
#pragma once
#include "backend.h"

namespace vexon {

// Fills each call of b the back end's given operations lack but have the
// parts of; b is given with every default filled.
void BuildRoutines(const Backend& given, Backend& b);

}  // namespace vexon
