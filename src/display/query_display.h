// One-line displays of single queried values.
#pragma once
#include <cstdint>

void ShowPreviousValue(int32_t previous);
void ShowSrqLine(const uint8_t* data);
void ShowPollByte(const uint8_t* data);
void ShowListenState(const uint8_t* data);
void ShowCurrentValue(const uint8_t* data);
void ShowPreviousBoard(int32_t board);
void ShowBusLines(uint16_t lines);
// The ibexpert result for `option`; `size` is the size of data in bytes.
void ShowExpertResult(int32_t option, const uint8_t* data, uint32_t size);
