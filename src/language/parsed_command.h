// The record that carries one parsed command from the parser to Execute.
#pragma once
#include <cstdint>

// 28 fields; zero when a parse begins. The pointers do not own what they
// point at: the line cycle's copy owns the buffers it puts there.
struct ParsedCommand {
  int32_t catalogueIndex;
  int32_t code;
  uint16_t* addressList;
  uint16_t* resultList;
  uint8_t* data;
  int32_t count;
  int32_t value;
  int32_t value2;
  int32_t pad;
  int32_t sad;
  int32_t boardIndex;
  int32_t timeout;
  int32_t eotFlag;
  int32_t eos;
  int32_t deviceCode;
  int32_t param;
  int32_t writeArgs[4];
  int32_t readArgs[3];
  int32_t lockArgs[5];
};
