// The end of the program.
#pragma once

// Ends vorel through the normal exit path with the given status, after
// standard output is flushed.
[[noreturn]] void EndProcess(int status);
