// Shows the data a driver call returned: the buffer in four modes, the
// listener list and the address result tables.
#pragma once
#include <cstdint>

enum DisplayMode : int32_t { DISPLAY_OFF = 0, DISPLAY_ASCII = 1, DISPLAY_FULL = 2, DISPLAY_BRIEF = 3 };

// The buffer display mode; full at start. Written only by the buffer command.
extern int32_t displayMode;

// Shows length bytes in the current display mode.
void ShowBuffer(const uint8_t* bytes, uint32_t length);
// The listing of the full and brief modes: 8 bytes a line, hex then characters.
void HexDump(const uint8_t* bytes, uint32_t length);
// Prints the first `count` entries of results; at most `capacity` are read.
void ShowListeners(const uint16_t* results, uint32_t count, uint32_t capacity);
// index -1 prints every address with its result, any other index that one
// address with the first result. capacity bounds the reads of both arrays.
void ShowAddressResults(const char* title, const uint16_t* addresses, const uint16_t* results,
                        int32_t index, uint32_t capacity);
