// Tables of names and their values, looked up ignoring case.
#pragma once
#include <cstdint>

// One row; a table ends with a row whose name is null and whose value is the
// table's not-found value.
struct NameRow {
  const char* name;
  int32_t value;
};

extern const NameRow kExpertOptionNames[];
extern const NameRow kAskOptionNames[];
extern const NameRow kConfigOptionNames[];
extern const NameRow kEotModeNames[];
extern const NameRow kDisplayModeNames[];
extern const NameRow kTerminationNames[];
extern const NameRow kOnOffNames[];
// "all" first, then the bit mnemonics, then bit0 to bit15; shared with the status report.
extern const NameRow kStatusBitNames[];

// The value of the first row whose name equals text ignoring case, or the
// end row's value.
int32_t LookupName(const NameRow* table, const char* text);
