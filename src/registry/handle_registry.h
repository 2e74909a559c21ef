// The opened boards and devices by name, the current selection, the prompt
// text and the console title.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The key of the 488.2 board entry.
inline constexpr const char* kBoardKey = "488.2";

// The copy of the selection that a command file takes when it starts and
// restores when it ends; program-wide. Written by RunCommandFile.
extern std::string savedName;
extern int32_t savedValue;

// The current entry's value, or -1 when nothing is selected.
int32_t CurrentHandle();
// The empty text when nothing is selected, the board label for the board
// entry, the key otherwise.
const char* CurrentName();
// CurrentName () as the last change of selection left it; safe to call
// from another thread (the driver's notification thread).
std::string CurrentNameSnapshot();
// The current entry's key, or null when nothing is selected.
const char* CurrentKey();

// The keys of every entry, in order.
std::vector<std::string> OpenNames();

// Enters name with handle (overwriting an existing key) and selects it.
bool RegisterNamed(int32_t handle, const char* name);
// Enters the generated name udN with handle and selects it.
bool RegisterDevice(int32_t handle);
// Selects the entry with that key; a failed lookup selects nothing.
bool SelectByName(const char* name);
// Sets the board entry to the board index and selects it; false for an index below 0.
bool SelectBoard(int32_t boardIndex);
// Removes the current entry, if any, and selects nothing.
void RemoveCurrent();
// Selects nothing.
void SelectNone();

// Empties the registry and resets every counter (tests only).
void ResetRegistry();
