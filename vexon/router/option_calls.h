// ibask, ibconfig and ibeos on the router's record of a handle, for every
// back end that does not pass them to a library of its own, and the
// default status a handle's calls start from.
#pragma once

namespace vexon {

int AskOption(int ud, int option, int* value);
int ConfigureOption(int ud, int option, int value);
int SetEos(int ud, int v);
int DefaultBaseStatus(int ud);

}  // namespace vexon
