#include "platform/process.h"

#include <cstdio>
#include <cstdlib>

void EndProcess(int status) {
  std::fflush(stdout);
  std::exit(status);
}
