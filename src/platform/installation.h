// Where the program's installed data lives.
#pragma once
#include <string>

// The directory of the running executable, without a trailing '/'; empty
// when it cannot be found.
std::string ExecutableDirectory();


// Copies the installation path, the data directory
// "<parent of the executable's directory>/share/vorel/" (ending with '/'), into
// buffer. False when the executable cannot be located or the path does not
// fit in size bytes with its terminating zero; the buffer is then empty.
bool InstallationPath(char* buffer, int size);
