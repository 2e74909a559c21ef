// A YAML file's text around yaml-cpp: what it cannot be trusted with (NUL
// bytes, nesting deep enough to exhaust the stack, aliases that multiply the
// nodes a reader walks), and plain words for the syntax mistakes it reports
// in its own terms.
#pragma once
#include <string>

#include "bus_yaml.h"

namespace vexon {

// Flow brackets and block indents nested deeper than this are refused.
constexpr int kMaxYamlDepth = 64;
// A file whose nodes, with every alias followed, number more than this is refused.
constexpr long kMaxYamlNodes = 100000;

// Parses text. Throws BusFileError for a NUL byte, nesting deeper than
// kMaxYamlDepth, more than kMaxYamlNodes nodes, or a syntax error, which it
// names in plain words at the line of its cause where it can tell.
YAML::Node ParseYaml(const YamlFile& file, const std::string& text);

// The cause of a syntax error that yaml-cpp reported: a tab used to indent,
// a quote never closed, an indent that matches no level. False when none is
// found; the line and column count from 1.
bool ExplainYamlError(const std::string& text, int& line, int& column, std::string& what);

}  // namespace vexon
