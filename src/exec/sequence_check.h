// The read-back check of the expert reading commands.
#pragma once
#include <cstdint>

// Checks that the first `count` bytes run 0x00..0xFF repeating and prints the
// outcome; reads at most `capacity` bytes.
void SequenceCheck(const uint8_t* buffer, int32_t count, uint32_t capacity);
