// Reading an instrument definition of the bus file (a `devices` entry without
// `model`) into a Definition.
#pragma once
#include <string>

#include "definition.h"

namespace YAML {
class Node;
}

namespace vorel::sim::described {

// Where a definition is wrong: line and column from 1, and what is wrong.
struct DefinitionError {
  int line = 0, column = 0;
  std::string what;
};

// Reads the definition node; false with the first fault in error. Never throws.
bool ReadDefinition(const YAML::Node& node, Definition& out, DefinitionError& error);

}  // namespace vorel::sim::described
