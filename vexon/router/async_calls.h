// The asynchronous calls the router builds for a back end that has only the
// synchronous ones: ibrda and ibwrta run the back end's ibrd and ibwrt on a
// thread of their own, ibwait and ibstop see those transfers first, and
// ibnotify is a thread that watches the handle's conditions. The synchronous
// calls go to the back end as before: nothing here is on their path.
#pragma once
#include "backend.h"

namespace vexon {

// Fills ibrda, ibwrta (from ibrd, ibwrt) and ibnotify of b where the back
// end's given operations have none, and then wraps its ibwait, ibstop and
// ibonl (kept in b.own); b is given with every default filled. A back
// end that has its own ibrda and ibwrta keeps them, and its ibnotify when it
// has one. An ibnotify of the back end's own that answers ECAP for a mask
// (vxi11 watches SRQ only) leaves that mask to the router.
void BuildAsyncCalls(const Backend& given, Backend& b);

}  // namespace vexon
