// Prints the words the manual pages must describe, from the program's own
// tables: "command WORD" for every row of the command catalogue, "ibconfig
// NAME" and "ibask NAME" for the option names.
#include <cstdio>

#include "core/command_catalogue.h"
#include "language/name_tables.h"

int main() {
  for (int row = 0; kCatalogue[row].name; ++row) std::printf("command %s\n", kCatalogue[row].name);
  for (const NameRow* r = kConfigOptionNames; r->name; ++r) std::printf("ibconfig %s\n", r->name);
  for (const NameRow* r = kAskOptionNames; r->name; ++r) std::printf("ibask %s\n", r->name);
  return 0;
}
