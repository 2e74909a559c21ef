// Memory for one driver call: data buffers (odd starts, slop bytes) and
// 16-bit result arrays, announced in expert mode.
#pragma once
#include <cstdint>

#include "language/parsed_command.h"

// Returns the data start of a buffer of n usable bytes (n + 8 under slop
// check), filled with 0x00 (0x5A under slop check); null after "Cannot alloc buffer".
uint8_t* AllocateDataBuffer(uint32_t n);
// Returns n zeroed 16-bit entries; null after "Cannot alloc buffer".
uint16_t* AllocateResultArray(uint32_t n);
// Frees a data buffer (taking an odd start back by one); announces it in expert mode.
void ReleaseDataBuffer(uint8_t* dataStart);
// Announces a data buffer's release like ReleaseDataBuffer but keeps the
// memory for good: for a transfer the driver may not have finished.
void RetireDataBuffer(uint8_t* dataStart);
// Announces and frees a result array; a null array is announced with address zero.
void ReleaseResultArray(uint16_t* array);

// Prepares the memory a synchronous command needs. ownsData tells whether
// `data` now holds a buffer allocated here. False after a failure message.
bool PrepareSynchronous(ParsedCommand& command, bool& ownsData);
// Releases what PrepareSynchronous put into the command.
void ReleaseSynchronous(ParsedCommand& command, bool ownsData);

// Writes "0x" and the pointer as 16 upper-case hex digits into out (19 bytes).
void FormatPointer(uintptr_t p, char* out);
