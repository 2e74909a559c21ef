// Input streams over the bytes of one fuzzing input: section 0 is standard
// input, sections 1, 2, ... are command files opened by the names "1", "2", ...
#pragma once
#include <cstddef>
#include <cstdint>

// Sections are separated by this pair of bytes.
inline constexpr uint8_t kSectionMark[2] = {0x01, 0x02};

// Makes data the input of the next session; streams from an earlier one are closed.
void SetMemoryInput(const uint8_t* data, size_t size, int lineBudget);
// Closes every stream the session left open.
void CloseMemoryInput();
