// How the fuzzing build ends a session that typed an exit command: the
// process must live on for the next input.
#pragma once

struct SessionEnded {
  int status;
};
