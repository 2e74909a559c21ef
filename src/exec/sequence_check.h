// The read-back check of the expert reading commands.
#pragma once
#include <cstdint>

// Checks that the first `count` bytes run 0x00..0xFF repeating and prints the
// outcome. A count beyond `capacity`, the bytes the driver was given, checks
// those bytes and no more.
void SequenceCheck(const uint8_t* buffer, int32_t count, uint32_t capacity);
